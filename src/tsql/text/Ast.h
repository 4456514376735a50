#pragma once

#include "tsql/values/Value.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace tsql {

struct Select;
struct Expr;
struct FunctionDef;
struct TableSource;
using ExprP = std::unique_ptr<Expr>;

enum class EK {
    Literal,   // value
    Variable,  // name (@X)
    SysVar,    // name (@@X)
    Column,    // parts: [table.]column
    Star,      // * or t.* inside COUNT(*) or a select list; parts hold the qualifier
    Unary,     // op: - + ~ ; args[0]
    Binary,    // op: + - * / % & | ^ ; args[0], args[1]
    Compare,   // op: = <> != < > <= >= !< !> ; args[0], args[1]; or args[0] and sub with a quantifier
    And,       // args[0], args[1]
    Or,        // args[0], args[1]
    Not,       // args[0]
    IsNull,    // negated; args[0]
    In,        // negated; args[0] then list items, or sub
    Between,   // negated; args[0..2]
    Like,      // negated; args[0] value, args[1] pattern, optional args[2] escape
    Exists,    // sub
    Case,      // simple when args[0] is the input (hasInput); then pairs when/then; optional else last
    Cast,      // CAST/TRY_CAST/CONVERT/TRY_CONVERT: args[0] value, optional args[1] style; castType
    Function,  // name (upper), args
    Subquery,  // sub (scalar)
    XmlMethod, // name: value/exist/query; args[0] target (variable or column), args[1..] strings
    Window,    // name (upper) OVER (...): the function's arguments, then PARTITION BY, then ORDER BY
               // expressions in args; over says how many of each
};

// One end of a window frame: UNBOUNDED PRECEDING, n PRECEDING, CURRENT ROW, n FOLLOWING,
// UNBOUNDED FOLLOWING.
struct FrameBound {
    enum Kind { UnboundedPreceding, Preceding, CurrentRow, Following, UnboundedFollowing };
    Kind kind = CurrentRow;
    qint64 rows = 0;
};

// OVER ([PARTITION BY ...] [ORDER BY ...] [ROWS | RANGE frame]) of a window function.
struct WindowSpec {
    int arguments = 0; // the function's own arguments, first in Expr::args
    int partitions = 0;
    std::vector<bool> descending; // one for each ORDER BY expression, last in Expr::args
    bool hasFrame = false;
    bool range = false; // RANGE rather than ROWS
    FrameBound start, end;
};

struct Expr {
    EK kind = EK::Literal;
    int line = 1, column = 1;
    QString op;
    QString name; // variable/function name as written (upper case for functions)
    // Function: its row of the function table, found when the call is read (null for a name
    // that is no built-in function, which the binder refuses).
    const FunctionDef* function = nullptr;
    QStringList parts; // column name parts
    Value value;       // literal
    std::vector<ExprP> args;
    std::unique_ptr<Select> sub;
    std::unique_ptr<WindowSpec> over; // Window
    std::vector<int> grouping;        // GROUPING and GROUPING_ID: the groupBy index of each argument
    SqlType castType;
    bool negated = false;
    bool hasInput = false; // simple CASE
    bool hasElse = false;  // CASE with ELSE
    bool tryCast = false;
    bool distinct = false;    // aggregate DISTINCT
    bool datepartArg = false; // first argument of DATEADD and friends (a bare word)
    bool castDefaultLength = false;
    QString quantifier; // Compare with a sub-query: ALL or ANY (SOME is read as ANY)
    // STRING_AGG ... WITHIN GROUP (ORDER BY k1 [DESC], ...): the keys are the last `withinGroup`
    // args, after the function's own arguments; orderDesc says which are descending.
    int withinGroup = 0;
    std::vector<bool> orderDesc;
    bool trimFrom = false; // TRIM (characters FROM string): args[1] holds the characters
    // Levels of the tree from this node down, sub-queries included (1 for a leaf). The parser
    // refuses a tree deeper than every later pass, which walks it by recursion, can afford.
    int height = 1;

    // Set by the binder.
    SqlType type;
    int slot = -1;              // variable slot
    TableSource* src = nullptr; // column: the source it belongs to
    int source = -1;            // column: index of the source in its select (-1 none)
    int depth = 0;              // column: how many selects out the source is
    int columnIndex = -1;       // column: index within the source
    bool aggregate = false;     // function: aggregate
    bool rowDependent = false;  // refers to columns of a table source
};

// Function: a table-valued built-in function (STRING_SPLIT).
enum class SourceKind { Table, XmlNodes, Derived, Join, Values, Cte, Function };

struct Cte;

// A column of CREATE TABLE or DECLARE @t TABLE.
struct ColumnDef {
    QString name;
    SqlType type;
    bool notNull = false;
    bool identity = false;
    qint64 seed = 1, increment = 1;
    ExprP defaultValue;
    int line = 1, column = 1;
};

// The columns and keys of a table a batch creates (a temporary table or a table variable).
struct TableDef {
    QString name; // as written: #t, @t
    std::vector<ColumnDef> columns;
    std::vector<QStringList> keys; // PRIMARY KEY and UNIQUE column lists
    int line = 1, column = 1;
};

// What a table's schema says of a column beyond its type: the rules INSERT and UPDATE enforce
// (NOT NULL, a default, IDENTITY and its seed and increment).
struct ColumnRule {
    bool notNull = false;
    bool hasDefault = false;
    QString defaultSql; // the default as SQLite's text, for DEFAULT in VALUES
    bool identity = false;
    qint64 seed = 1;
    qint64 increment = 1;
};

struct TableSource {
    SourceKind kind = SourceKind::Table;
    int line = 1, column = 1;
    QStringList nameParts; // table
    QString alias;
    bool hasHints = false;
    ExprP xmlTarget; // XmlNodes: the variable or column whose nodes() is read
    QString xpath;
    QStringList columnAliases; // XmlNodes: TABLE_DEFINITION(COLS); Derived, Values: AS d(a, b)
    std::unique_ptr<Select> derived;
    std::vector<std::vector<ExprP>> valueRows; // Values: (VALUES (...), (...))
    Cte* cte = nullptr;                        // Cte: the common table expression it names
    QString functionName;                      // Function: its name, upper case
    std::vector<ExprP> functionArgs;           // Function: its arguments
    // Join
    QString joinType; // INNER, LEFT, RIGHT, FULL, CROSS, CROSS APPLY, OUTER APPLY
    std::unique_ptr<TableSource> left, right;
    ExprP on;
    int height = 1; // as Expr::height

    // Binder
    bool exists = true;  // table found in the database
    QString realName;    // table name as the database spells it
    QStringList columns; // columns as the database spells them
    std::vector<SqlType> columnTypes;
    std::vector<ColumnRule> columnRules; // a table's: as the catalog has them
    QString messageName;                 // a table's: as the server's messages name it
    QString sqlSchema;                   // "temp" for temporary tables and table variables
    QString sqlQuery;                    // a catalogue view: the SQLite query of its rows
    bool checkExists = false;            // a temporary table: looked for again when its statement runs
    bool applyCorrelated = false;        // the right side of APPLY, a derived table that reads the left
};

// WITH name [(columns)] AS (query): visible to the statement it introduces.
struct Cte {
    QString name;
    QStringList columnAliases;
    std::unique_ptr<Select> select;
    int line = 1, column = 1;
    // Binder
    QStringList columns;
    std::vector<SqlType> columnTypes;
    bool bound = false;
    bool recursive = false; // a member of its query names it
    bool usesTables = false;
    int maxRecursion = 100; // of the statement it belongs to (0: no limit)
    // SQL text: set while the text of its own query is written (a reference inside is the
    // recursion's working table)
    bool generating = false;
};

struct SelectItem {
    ExprP expr;
    QString alias;
    bool hasAlias = false;
    QString assignVar; // @v = expr
    QString assignOp;  // = or += ...
    int slot = -1;
    bool star = false;
    QString starQualifier;
    int line = 1, column = 1;
};

struct OrderItem {
    ExprP expr;
    bool desc = false;
    // Binder: of a query combined with UNION, EXCEPT or INTERSECT, the column of the result it
    // names (-1 otherwise).
    int outputIndex = -1;
};

// How a query is combined with the one after it: UNION [ALL], EXCEPT or INTERSECT.
enum class SetOp { Union, Except, Intersect };

struct Select {
    int line = 1, column = 1;
    bool distinct = false;
    ExprP top;
    bool topPercent = false;
    bool withTies = false; // TOP ... WITH TIES
    std::vector<SelectItem> items;
    std::vector<std::unique_ptr<TableSource>> from;
    ExprP where;
    std::vector<ExprP> groupBy;
    // GROUP BY ROLLUP, CUBE or GROUPING SETS: each grouping set as a mask over groupBy (empty for
    // a plain GROUP BY).
    std::vector<quint64> groupingSets;
    ExprP having;
    std::vector<OrderItem> orderBy;
    std::unique_ptr<Select> unionNext;
    bool unionAll = false;
    SetOp setOp = SetOp::Union; // how unionNext is combined with this member
    // OFFSET n ROWS [FETCH NEXT m ROWS ONLY], after ORDER BY (of a combined query, on its last
    // member, for the whole).
    ExprP offset, fetch;
    int height = 1; // as Expr::height
    // WITH before the statement (on the statement's own query) and OPTION (MAXRECURSION n)
    std::vector<std::unique_ptr<Cte>> ctes;
    int maxRecursion = 100;
    bool recursiveMember = false; // Binder: a member of a recursive CTE's query that names the CTE
    bool anchorMember = false;    // Binder: a member of a recursive CTE's query that does not
    bool laterMember = false;     // Binder: a member after the first of a combined query
    bool ownTables = false;       // Binder: this member itself reads tables (usesTables: or a later one)

    // Binder
    bool hasAggregate = false;
    bool assigns = false;
    bool usesTables = false;               // some source (here or nested) is a database table
    bool usesXml = false;                  // some source is an xml nodes() source
    std::vector<TableSource*> flatSources; // every base source (tables, xml, derived) in scope order
};

enum class SK {
    Declare,
    Set,       // variable assignment
    SetOption, // SET NOCOUNT ON and the like
    Select,
    Update,
    Insert,
    Delete,
    If,
    While,
    Block,
    Break,
    Continue,
    Return,
    Print,
    BeginTran,
    Commit,
    Rollback,
    Exec,        // a procedure call: fails when it runs
    ExecString,  // EXEC (string [+ string ...]): args are the pieces of the dynamic batch's text
    ExecSql,     // EXEC sp_executesql: args are the statement, the parameters' definitions and values
    Label,       // label: (var holds the name)
    Goto,        // GOTO label (var holds the name; target set by the binder)
    Raiserror,   // RAISERROR (message, severity, state [, argument ...]) [WITH option ...]
    Throw,       // THROW number, message, state; or THROW alone (rethrow) in a CATCH block
    TryCatch,    // BEGIN TRY body END TRY BEGIN CATCH elseStmt (a block) END CATCH
    CreateTable, // CREATE TABLE: tableDef
    DropTable,   // DROP TABLE [IF EXISTS]: drops, ifExists
    CreateIndex, // CREATE [UNIQUE] INDEX var ON target (options): op UNIQUE or empty
    Empty,
};

struct VarDecl {
    QString name;
    SqlType type;
    ExprP init;
    std::unique_ptr<TableDef> table; // DECLARE @t TABLE (...)
    int slot = -1;
    int line = 1, column = 1;
};

struct Assignment {   // UPDATE ... SET
    QString column;   // column target
    QString variable; // @v = ...
    QString op;       // = += ...
    ExprP value;
    int slot = -1;
    int columnIndex = -1;
    int line = 1, column_ = 1;
};

struct Stmt;
using StmtP = std::unique_ptr<Stmt>;

struct Stmt {
    SK kind = SK::Empty;
    int line = 1, column = 1;
    std::vector<VarDecl> decls;
    QString var; // SET target; the option of SET <option> (upper case)
    int varLine = 1, varColumn = 1;
    QString op;          // SET operator; ON or OFF of SET <option>, ... ON|OFF
    QStringList options; // SET <option>, <option> ON|OFF: every option named (upper case)
    int slot = -1;
    ExprP expr; // SET value, IF/WHILE condition, PRINT, RETURN value
    std::unique_ptr<Select> select;
    // UPDATE / INSERT / DELETE
    std::unique_ptr<TableSource> target;
    std::vector<Assignment> sets;
    ExprP top;
    QStringList insertColumns;
    std::vector<std::vector<ExprP>> values;
    bool defaultValues = false;
    // IF / WHILE / BEGIN..END
    StmtP thenStmt, elseStmt;
    std::vector<StmtP> body;
    QString procName;
    // CREATE TABLE / DROP TABLE
    std::unique_ptr<TableDef> tableDef;
    std::vector<std::unique_ptr<TableSource>> drops;
    bool ifExists = false;

    // EXEC arguments, RAISERROR and THROW operands; argNames holds the @name of an argument
    // passed by name (empty for one passed by position).
    std::vector<ExprP> args;
    QStringList argNames;
    bool withLog = false; // RAISERROR ... WITH LOG

    // Binder: the label a GOTO goes to, and this statement's place in the batch: statements are
    // numbered in the order they are written, and [order, orderEnd] spans the statement and all
    // the statements inside it (a GOTO finds the statement that holds its label by number).
    Stmt* jumpTo = nullptr;
    int order = 0, orderEnd = 0;

    // Binder: deferred compile error (an unknown table), raised when the statement runs.
    std::optional<ServerError> deferred;

    Stmt() = default;
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    ~Stmt();
};

// An IF ... ELSE IF ... chain is as long as the batch makes it: it is taken apart link by link
// rather than by destructors calling one another once per link.
inline Stmt::~Stmt() {
    StmtP next = std::move(elseStmt);
    while (next && next->elseStmt) {
        StmtP after = std::move(next->elseStmt);
        next = std::move(after);
    }
}

struct Batch {
    std::vector<StmtP> statements;
    // Binder: the table variables the batch declares (they exist for the whole batch)
    std::vector<TableDef*> tableVariables;
};

} // namespace tsql
