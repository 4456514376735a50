// Binding of the tables a batch makes and of the sources that are no table of the database:
// table variables (DECLARE @t TABLE), temporary tables (CREATE TABLE #t), common table
// expressions (WITH c AS (...), recursive ones included) and table value constructors
// (VALUES ...) as sources of FROM.

#include "tsql/bind/BinderImpl.h"

namespace tsql::binding {

namespace {

QString invalidObject(const TableSource& ts) {
    return QStringLiteral("Invalid object name '%1'.").arg(ts.nameParts.join(u'.'));
}

// A schema the database has: dbo (the only one), or none written.
bool knownSchema(const TableSource& ts) {
    const qsizetype n = ts.nameParts.size();
    if (n > 3)
        return false;
    return n < 2 || ts.nameParts[n - 2].compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0;
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
            fail(1087, 15, QStringLiteral("Must declare the table variable \"%1\".").arg(name), ts.line,
                 ts.column);
        fromInfo(ts, Catalog::definedTable(**it));
        ts.sqlSchema = QStringLiteral("temp");
        return true;
    }
    const bool temp = name.startsWith(u'#');
    if (knownSchema(ts)) {
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
        firstUnknownTable = ServerError{208, 16, 1, ts.line, ts.column, invalidObject(ts)};
    return false;
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
            fail(2705, 16,
                 QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' "
                                "specified more than once.")
                     .arg(c.name, def.name),
                 c.line, c.column);
        names << c.name;
        if (c.defaultValue)
            expr(*c.defaultValue);
        if (!c.identity)
            continue;
        if (identity)
            fail(
                2744, 16,
                QStringLiteral("Multiple identity columns specified for table '%1'. Only one identity column "
                               "per table is allowed.")
                    .arg(def.name),
                c.line, c.column);
        identity = true;
        if (!(c.type.isInteger() && c.type.id != TypeId::Bit) &&
            !(c.type.id == TypeId::Decimal && c.type.scale == 0))
            fail(
                2749, 16,
                QStringLiteral("Identity column '%1' must be of data type int, bigint, smallint, tinyint, or "
                               "decimal or numeric with a scale of 0, unencrypted, and constrained to be "
                               "nonnullable.")
                    .arg(c.name),
                c.line, c.column);
        c.notNull = true;
    }
    bool primary = false;
    for (const QStringList& key : def.keys) {
        if (!key.isEmpty() && key.first().isEmpty()) {
            if (primary)
                fail(8110, 16,
                     QStringLiteral("Cannot add multiple PRIMARY KEY constraints to table '%1'.")
                         .arg(def.name),
                     def.line, def.column);
            primary = true;
        }
        for (const QString& k : key)
            if (!k.isEmpty() && !names.contains(k, Qt::CaseInsensitive))
                fail(1911, 16,
                     QStringLiteral("Column name '%1' does not exist in the target table or view.").arg(k),
                     def.line, def.column);
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
        fail(134, 15,
             QStringLiteral("The variable name '%1' has already been declared. Variable names must be unique "
                            "within a query batch or stored procedure.")
                 .arg(d.name),
             d.line, d.column);
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
        fail(2714, 16, QStringLiteral("There is already an object named '%1' in the database.").arg(def.name),
             def.line, def.column);
    tableDefinition(def);
    createdTables.insert(key, &def);
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
            fail(252, 16,
                 QStringLiteral(
                     "Recursive common table expression '%1' does not contain a top-level UNION ALL "
                     "operator.")
                     .arg(c.name),
                 c.line, c.column);
        if (!next.recursiveMember)
            continue;
        for (size_t k = 0; k < next.items.size() && k < c.columnTypes.size(); ++k)
            if (!sameType(c.columnTypes[k], next.items[k].expr->type))
                fail(240, 16,
                     QStringLiteral("Types don't match between the anchor and the recursive part in column "
                                    "\"%1\" of recursive query \"%2\".")
                         .arg(c.columns.value(qsizetype(k)), c.name),
                     c.line, c.column);
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
            fail(246, 16,
                 QStringLiteral("No anchor member was specified for recursive query \"%1\".").arg(c->name),
                 ts.line, ts.column);
        if (scopes.empty() || scopes.back() != definingMember)
            fail(465, 16, QStringLiteral("Recursive references are not allowed in subqueries."), ts.line,
                 ts.column);
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
            fail(10709, 16,
                 QStringLiteral("The number of columns for each row in a table value constructor must be the "
                                "same."),
                 ts.line, ts.column);
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
    if (!aliases.isEmpty() && aliases.size() != names.size())
        fail(
            names.size() > aliases.size() ? 8158 : 8159, 16,
            QStringLiteral("'%1' has %2 columns than were specified in the column list.")
                .arg(owner, names.size() > aliases.size() ? QStringLiteral("more") : QStringLiteral("fewer")),
            line, column);
    for (qsizetype k = 0; k < names.size(); ++k) {
        const QString& n = aliases.isEmpty() ? names[k] : aliases[k];
        if (n.isEmpty())
            fail(8155, 16,
                 QStringLiteral("No column name was specified for column %1 of '%2'.").arg(k + 1).arg(owner),
                 line, column);
        if (columns.contains(n, Qt::CaseInsensitive))
            fail(8156, 16,
                 QStringLiteral("The column '%1' was specified multiple times for '%2'.").arg(n, owner), line,
                 column);
        columns << n;
    }
}

} // namespace tsql::binding
