// Binding of the tables a batch makes and of the sources that are no table of the database:
// table variables (DECLARE @t TABLE), temporary tables (CREATE TABLE #t), common table
// expressions (WITH c AS (...), recursive ones included) and table value constructors
// (VALUES ...) as sources of FROM.

#include "tsql/bind/BinderImpl.h"

#include "tsql/base/Messages.h"
#include "tsql/bind/SystemViews.h"

namespace tsql::binding {

namespace {

ServerError invalidObject(const TableSource& ts) {
    return serverError<Msg::InvalidObjectName>(ts.line, ts.column, ts.nameParts.join(u'.'));
}

// A schema the database has: dbo (the only one), or none written.
bool knownSchema(const TableSource& ts) {
    const qsizetype n = ts.nameParts.size();
    if (n > 3)
        return false;
    return n < 2 || ts.nameParts[n - 2].isEmpty() ||
           ts.nameParts[n - 2].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0;
}

// Equal types for the columns of a recursive query ("Types don't match"): the same type with the
// same length, precision and scale. NULL has type int.
bool sameType(SqlType a, SqlType b) {
    if (a.id == TypeId::Unknown)
        a = SqlType::of(TypeId::Int);
    if (b.id == TypeId::Unknown)
        b = SqlType::of(TypeId::Int);
    if (a.id != b.id)
        return false;
    if (a.isString())
        return a.length == b.length;
    if (a.id == TypeId::Decimal)
        return a.precision == b.precision && a.scale == b.scale;
    return true;
}

} // namespace

// Table variables, temporary tables and tables of the database. A table variable must be
// declared (Msg 1087, at compile time as a scalar variable); a table that does not exist is
// Msg 208 when its statement runs (deferred name resolution, unless `deferUnknown` is false), as
// is a schema the database has not. A table the batch creates is known by its definition;
// whether it exists is looked at again when a statement naming it runs.
bool Binder::resolveTable(TableSource& ts, bool deferUnknown) {
    const QString& name = ts.nameParts.last();
    if (name.startsWith(u'@')) {
        auto it = tableVars.constFind(name.toUpper());
        if (it == tableVars.constEnd())
            raiseAt<Msg::DeclareTableVariable>(ts.line, ts.column, name);
        fromInfo(ts, Catalog::definedTable(**it));
        ts.sqlSchema = QStringLiteral("temp");
        return true;
    }
    const bool temp = name.startsWith(u'#');
    if (systemView(ts))
        return true;
    if (knownSchema(ts) && knownDatabase(ts, cat.databaseName())) {
        if (auto it = createdTables.constFind(name.toUpper()); it != createdTables.constEnd()) {
            fromInfo(ts, Catalog::definedTable(**it));
            ts.sqlSchema = temp ? QStringLiteral("temp") : QString();
            ts.checkExists = true;
            return true;
        }
        if (const TableInfo* info = cat.find(name)) {
            fromInfo(ts, *info);
            ts.sqlSchema = temp ? QStringLiteral("temp") : QString();
            ts.checkExists = temp;
            return true;
        }
    }
    ts.exists = false;
    if (deferUnknown && !firstUnknownTable)
        firstUnknownTable = invalidObject(ts);
    return false;
}

// A catalogue view (sys.tables, INFORMATION_SCHEMA.COLUMNS, ...) of this database: its columns
// and the query of its rows.
bool Binder::systemView(TableSource& ts) {
    const qsizetype n = ts.nameParts.size();
    if (n < 2 || n > 3 || !knownDatabase(ts, cat.databaseName()))
        return false;
    const SystemView* v = findSystemView(ts.nameParts[n - 2], ts.nameParts[n - 1]);
    if (!v)
        return false;
    ts.exists = true;
    ts.realName = v->name;
    ts.columns = v->columns;
    ts.columnTypes = v->types;
    ts.columnRules.assign(size_t(v->columns.size()), ColumnRule{});
    ts.messageName = v->schema + u'.' + v->name;
    ts.sqlQuery = v->sql;
    return true;
}

// A table source takes its columns, their types and rules, and its name in messages from the
// catalog's description of the table.
void Binder::fromInfo(TableSource& ts, const TableInfo& info) {
    ts.exists = true;
    ts.realName = info.name;
    ts.columns = info.columns;
    ts.columnTypes = info.types;
    ts.columnRules = info.rules;
    ts.columnRules.resize(size_t(ts.columns.size()));
    ts.messageName = info.messageName.isEmpty() ? cat.qualifiedName(info.name) : info.messageName;
}

// The columns and keys of CREATE TABLE and DECLARE @t TABLE ("CREATE TABLE (Transact-SQL)").
void Binder::tableDefinition(TableDef& def) {
    QStringList names;
    bool identity = false;
    for (ColumnDef& c : def.columns) {
        if (names.contains(c.name, Qt::CaseInsensitive))
            raiseAt<Msg::ColumnNamesEachTable>(c.line, c.column, c.name, def.name);
        names << c.name;
        if (c.defaultValue)
            expr(*c.defaultValue);
        if (!c.identity)
            continue;
        if (identity)
            raiseAt<Msg::MultipleIdentityColumnsSpecified>(c.line, c.column, def.name);
        identity = true;
        if (!(c.type.isInteger() && c.type.id != TypeId::Bit) &&
            !(c.type.id == TypeId::Decimal && c.type.scale == 0))
            raiseAt<Msg::IdentityColumnDataType>(c.line, c.column, c.name);
        c.notNull = true;
    }
    bool primary = false;
    for (const QStringList& key : def.keys) {
        if (!key.isEmpty() && key.first().isEmpty()) {
            if (primary)
                raiseAt<Msg::AddMultiplePrimaryKey>(def.line, def.column, def.name);
            primary = true;
        }
        for (const QString& k : key)
            if (!k.isEmpty() && !names.contains(k, Qt::CaseInsensitive))
                raiseAt<Msg::UnknownTargetColumn>(def.line, def.column, k);
    }
    // The columns of the primary key take no NULL.
    for (const QStringList& key : def.keys)
        if (!key.isEmpty() && key.first().isEmpty())
            for (ColumnDef& c : def.columns)
                if (key.contains(c.name, Qt::CaseInsensitive))
                    c.notNull = true;
}

QString Binder::claimName(const VarDecl& d) {
    QString key = d.name.toUpper();
    if (vars.contains(key) || tableVars.contains(key))
        raiseAt<Msg::VariableNameAlreadyDeclared>(d.line, d.column, d.name);
    return key;
}

// DECLARE @t TABLE (...): a table of the batch, named as a variable (Msg 134 for a name taken).
void Binder::declareTable(VarDecl& d) {
    const QString key = claimName(d);
    tableDefinition(*d.table);
    tableVars.insert(key, d.table.get());
    tableVariableList.push_back(d.table.get());
}

// CREATE TABLE: a batch creates a temporary table of a name once (Msg 2714 at compile time,
// however the statements run).
void Binder::createTable(Stmt& s) {
    TableDef& def = *s.tableDef;
    const QString key = def.name.toUpper();
    if (createdTables.contains(key))
        raiseAt<Msg::ObjectExists>(def.line, def.column, def.name);
    tableDefinition(def);
    createdTables.insert(key, &def);
}

// CREATE INDEX: the table is looked for when the statement runs (Msg 208 then, as a table a
// statement reads); its key columns must be the table's (Msg 1911). A catalogue view has no
// indexes of its own (Msg 259).
void Binder::createIndex(Stmt& s) {
    if (!resolveTable(*s.target))
        return;
    if (!s.target->sqlQuery.isEmpty())
        raiseAt<Msg::AdHocUpdatesSystemCatalogs>(s.target->line, s.target->column);
    for (const QString& k : s.options)
        if (!s.target->columns.contains(k, Qt::CaseInsensitive))
            raiseAt<Msg::UnknownTargetColumn>(s.line, s.column, k);
}

// ---------------- common table expressions ----------------

// The CTEs of WITH, each visible to the ones after it and to the statement.
void Binder::bindCtes(Select& sel) {
    for (auto& c : sel.ctes) {
        bindCte(*c, sel.maxRecursion);
        ctes.push_back(c.get());
    }
}

void Binder::bindCte(Cte& c, int maxRecursion) {
    c.maxRecursion = maxRecursion;
    Cte* const savedDefining = defining;
    Select* const savedMember = definingMember;
    defining = &c;
    definingMember = nullptr;
    ctes.push_back(&c); // visible to its own query: a recursive reference
    // An error ends the binding of the whole batch: nothing is put back on the way out.
    select(*c.select, false);
    ctes.pop_back();
    defining = savedDefining;
    definingMember = savedMember;
    if (!c.bound)
        cteColumns(c);
    c.usesTables = c.select->usesTables;
    if (c.recursive)
        checkRecursion(c);
}

// The columns of a CTE: those of its (first) query, or its column list.
void Binder::cteColumns(Cte& c) {
    c.columns.clear();
    c.columnTypes.clear();
    outputColumns(c.name, c.columnAliases, c.select->items, c.columns, c.columnTypes, c.line, c.column);
    c.bound = true;
}

// A member of a CTE's query starts being bound.
void Binder::memberStarts(Select& sel) {
    if (!defining)
        return;
    for (Select* m = defining->select.get(); m; m = m->unionNext.get())
        if (m == &sel)
            definingMember = &sel;
}

// The first member of a CTE's query is bound: its columns are the CTE's, for the members after
// it that name the CTE.
void Binder::memberBound(Select& sel) {
    if (defining && &sel == defining->select.get() && !defining->bound)
        cteColumns(*defining);
}

// A recursive CTE ("WITH common_table_expression", guidelines for recursive CTEs): the anchor
// and a recursive member are joined by UNION ALL (Msg 252), and the recursive members give the
// anchor's column types (Msg 240).
void Binder::checkRecursion(Cte& c) {
    for (Select* m = c.select.get(); m; m = m->unionNext.get())
        m->anchorMember = !m->recursiveMember;
    for (Select* m = c.select.get(); m && m->unionNext; m = m->unionNext.get()) {
        Select& next = *m->unionNext;
        if (next.recursiveMember && !m->unionAll)
            raiseAt<Msg::RecursiveCommonTableExpression>(c.line, c.column, c.name);
        if (!next.recursiveMember)
            continue;
        for (size_t k = 0; k < next.items.size() && k < c.columnTypes.size(); ++k)
            if (!sameType(c.columnTypes[k], next.items[k].expr->type))
                raiseAt<Msg::RecursiveTypesDiffer>(c.line, c.column, c.columns.value(qsizetype(k)), c.name);
    }
}

// A source of one name that is a CTE in scope; a reference of a CTE to itself is its recursion
// (not in a sub-query: Msg 465; not in its first member: Msg 246).
bool Binder::cteSource(TableSource& ts, Select& sel) {
    if (ts.nameParts.size() != 1)
        return false;
    Cte* c = nullptr;
    for (auto it = ctes.rbegin(); it != ctes.rend() && !c; ++it)
        if ((*it)->name.compare(ts.nameParts[0], Qt::CaseInsensitive) == 0)
            c = *it;
    if (!c)
        return false;
    ts.kind = SourceKind::Cte;
    ts.cte = c;
    if (c == defining) {
        if (!c->bound)
            raiseAt<Msg::NoAnchorMemberSpecified>(ts.line, ts.column, c->name);
        if (scopes.empty() || scopes.back() != definingMember)
            raiseAt<Msg::RecursiveReferencesNotAllowed>(ts.line, ts.column);
        c->recursive = true;
        definingMember->recursiveMember = true;
        if (c->select->usesTables)
            sel.usesTables = true;
    } else {
        if (c->usesTables)
            sel.usesTables = true;
        if (c->select->usesXml)
            sel.usesXml = true;
    }
    ts.columns = c->columns;
    ts.columnTypes = c->columnTypes;
    sel.flatSources.push_back(&ts);
    return true;
}

// ---------------- VALUES as a source ----------------

// (VALUES (...), (...)) AS v (columns): rows of one length (Msg 10709); each column has the type
// of highest precedence among its values ("Table Value Constructor (Transact-SQL)").
void Binder::valuesSource(TableSource& ts, Select& sel) {
    const size_t width = ts.valueRows.front().size();
    std::vector<SqlType> types(width);
    for (auto& row : ts.valueRows) {
        if (row.size() != width)
            raiseAt<Msg::NumberColumnsEachRow>(ts.line, ts.column);
        for (size_t k = 0; k < width; ++k) {
            expr(*row[k]);
            if (row[k]->sub && row[k]->sub->usesTables)
                sel.usesTables = true;
            types[k] = dominantType(types[k], row[k]->type);
        }
    }
    for (auto& row : ts.valueRows)
        for (size_t k = 0; k < width; ++k)
            checkAssignable(row[k]->type, types[k], row[k]->line, row[k]->column);
    // The values have no names: the column list names the columns.
    columnNames(ts.alias, ts.columnAliases, QStringList(qsizetype(width)), ts.columns, ts.line, ts.column);
    for (const SqlType& t : types)
        ts.columnTypes.push_back(t.id == TypeId::Unknown ? SqlType::of(TypeId::Int) : t);
    sel.flatSources.push_back(&ts);
}

// ---------------- table-valued functions ----------------

// STRING_SPLIT (string, separator) ("STRING_SPLIT (Transact-SQL)"): two arguments, counted as
// the server counts the parameters of a function that returns a table (Msg 313 for fewer, 8144
// for more: enable_ordinal is SQL Server 2022's); one column, `value`, of the string's kind and
// length. Its arguments see the enclosing queries but not the sources beside it in FROM.
void Binder::functionSource(TableSource& ts, Select& sel) {
    const QString name = QStringLiteral("STRING_SPLIT");
    if (ts.functionArgs.size() < 2)
        raiseAt<Msg::InsufficientArguments>(ts.line, ts.column, name);
    if (ts.functionArgs.size() > 2)
        raiseAt<Msg::FunctionTooManyArguments>(ts.line, ts.column, name);
    std::vector<TableSource*> beside = std::move(sel.flatSources);
    sel.flatSources.clear();
    bool rowDependent = false;
    for (auto& a : ts.functionArgs) {
        expr(*a);
        rowDependent = rowDependent || a->rowDependent || (a->sub && a->sub->usesTables);
    }
    sel.flatSources = std::move(beside);
    const SqlType& t = ts.functionArgs[0]->type;
    const bool unicode = t.isUnicode() || !t.isString();
    ts.columns = QStringList{QStringLiteral("value")};
    ts.columnTypes = {
        SqlType{unicode ? TypeId::NVarChar : TypeId::VarChar, 0, 0, t.isString() ? t.length : 4000, false}};
    // Arguments read from a table's row: the query is one over tables, whose text refuses them.
    if (rowDependent)
        sel.usesTables = true;
    sel.flatSources.push_back(&ts);
}

// The columns a derived table or a CTE shows: its column list, or the names of its select list.
void Binder::outputColumns(const QString& owner, const QStringList& aliases,
                           const std::vector<SelectItem>& items, QStringList& columns,
                           std::vector<SqlType>& types, int line, int column) {
    QStringList names;
    for (const SelectItem& item : items)
        names << itemName(item);
    columnNames(owner, aliases, names, columns, line, column);
    for (const SelectItem& item : items)
        types.push_back(item.expr->type);
}

// The names of the columns of a source that is no table: its column list, or `names` (one for
// each column, empty for a column without a name), each named (Msg 8155) once (Msg 8156), as
// many as the source has (Msg 8158, 8159).
void Binder::columnNames(const QString& owner, const QStringList& aliases, const QStringList& names,
                         QStringList& columns, int line, int column) {
    if (!aliases.isEmpty() && aliases.size() != names.size()) {
        if (names.size() > aliases.size())
            raiseAt<Msg::MoreColumnsThanList>(line, column, owner);
        raiseAt<Msg::FewerColumnsThanList>(line, column, owner);
    }
    for (qsizetype k = 0; k < names.size(); ++k) {
        const QString& n = aliases.isEmpty() ? names[k] : aliases[k];
        if (n.isEmpty())
            raiseAt<Msg::NoColumnNameSpecified>(line, column, k + 1, owner);
        if (columns.contains(n, Qt::CaseInsensitive))
            raiseAt<Msg::ColumnSpecifiedMultipleTimes>(line, column, n, owner);
        columns << n;
    }
}

} // namespace tsql::binding

namespace tsql {

// The database part of a three-part name: this database's (or none written), or tempdb for a
// temporary table. A table of another database is never read or written here in its place: a
// database the server has on every installation is one without this table (Msg 208 when the
// statement runs); any other does not exist (Msg 911 when the batch is compiled, as on the server).
bool knownDatabase(const TableSource& ts, const QString& current) {
    if (ts.nameParts.size() != 3)
        return true;
    const QString& database = ts.nameParts.first();
    if (database.isEmpty() || database.compare(current, Qt::CaseInsensitive) == 0)
        return true;
    const bool temp = ts.nameParts.last().startsWith(u'#');
    static const QStringList system = {QStringLiteral("master"), QStringLiteral("tempdb"),
                                       QStringLiteral("model"), QStringLiteral("msdb")};
    if (database.compare(QLatin1String("tempdb"), Qt::CaseInsensitive) == 0)
        return temp;
    if (system.contains(database, Qt::CaseInsensitive))
        return false;
    raiseAt<Msg::DatabaseDoesNotExist>(ts.line, ts.column, database);
}

} // namespace tsql
