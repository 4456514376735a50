#pragma once

// The engine's messages: every server error the engine raises itself, by name, with the
// number, level, state and text the server gives it. %1, %2, ... in a text are the arguments
// of raise() in order; a call with another count of arguments does not compile. Errors a batch
// raises (RAISERROR, THROW) carry their own number and text and are no entries here.
//
//   raise<Msg::DivideByZero>();                          // line and column 0: the statement's
//   raiseAt<Msg::InvalidColumnName>(line, column, name); // where the text of the batch has it
//   ServerError e = serverError<Msg::InvalidObjectName>(line, column, name); // not thrown
//
// A new message: a row in TSQL_MESSAGES (its name, number, level, state and text, ordered by
// number), then raise it by name.

#include "tsql/base/ServerError.h"

#include <QString>

#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace tsql {

// clang-format off
#define TSQL_MESSAGES(M) \
    M(IncorrectSyntax, 102, 15, 1, u"Incorrect syntax near '%1'.") \
    M(OrderItemsMustAppear, 104, 16, 1, u"ORDER BY items must appear in the select list if the statement contains a UNION, INTERSECT or EXCEPT operator.") \
    M(UnclosedQuotation, 105, 15, 1, u"Unclosed quotation mark after the character string '%1'.") \
    M(OrderPositionNumberOut, 108, 16, 1, u"The ORDER BY position number %1 is out of range of the number of items in the select list.") \
    M(MoreColumnsThanValues, 109, 15, 1, u"There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.") \
    M(FewerColumnsThanValues, 110, 15, 1, u"There are fewer columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement.") \
    M(MustBeFirstInBatch, 111, 15, 1, u"'%1' must be the first statement in a query batch.") \
    M(MissingEndComment, 113, 15, 1, u"Missing end comment mark '*/'.") \
    M(OnlyOneExpressionSpecified, 116, 16, 1, u"Only one expression can be specified in the select list when the subquery is not introduced with EXISTS.") \
    M(SelectListInsertStatement, 120, 15, 1, u"The select list for the INSERT statement contains %1 items than the insert list. The number of SELECT values must match the number of INSERT columns.") \
    M(NegativeTopCount, 127, 15, 1, u"A TOP N or FETCH rowcount value may not be negative.") \
    M(AggregateOfAggregate, 130, 16, 1, u"Cannot perform an aggregate function on an expression containing an aggregate or a subquery.") \
    M(SizeGivenTypeExceeds, 131, 15, 2, u"The size (%1) given to the type '%2' exceeds the maximum allowed for any data type (%3).") \
    M(LabelAlreadyDeclaredLabel, 132, 15, 1, u"The label '%1' has already been declared. Label names must be unique within a query batch or stored procedure.") \
    M(GotoStatementReferencesLabel, 133, 15, 1, u"A GOTO statement references the label '%1' but the label has not been declared.") \
    M(VariableNameAlreadyDeclared, 134, 15, 1, u"The variable name '%1' has already been declared. Variable names must be unique within a query batch or stored procedure.") \
    M(BreakOutsideWhile, 135, 15, 1, u"Cannot use a BREAK statement outside the scope of a WHILE statement.") \
    M(ContinueOutsideWhile, 136, 15, 1, u"Cannot use a CONTINUE statement outside the scope of a WHILE statement.") \
    M(UndeclaredVariable, 137, 15, 1, u"Must declare the scalar variable \"%1\".") \
    M(SelectStatementAssignsValue, 141, 15, 1, u"A SELECT statement that assigns a value to a variable must not be combined with data-retrieval operations.") \
    M(GroupByAggregateOrSubquery, 144, 15, 1, u"Cannot use an aggregate or a subquery in an expression used for the group by list of a GROUP BY clause.") \
    M(OrderByItemsDistinct, 145, 15, 1, u"ORDER BY items must appear in the select list if SELECT DISTINCT is specified.") \
    M(AggregateNotAppearWhere, 147, 15, 1, u"An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING clause or a select list, and the column being aggregated is an outer reference.") \
    M(InvalidUsageOptionFetch, 153, 15, 2, u"Invalid usage of the option %1 in the FETCH statement.") \
    M(UnknownDatePart, 155, 15, 1, u"'%1' is not a recognized %2 option.") \
    M(IncorrectSyntaxKeyword, 156, 15, 1, u"Incorrect syntax near the keyword '%1'.") \
    M(AggregateInUpdateSet, 157, 15, 1, u"An aggregate may not appear in the set list of an UPDATE statement.") \
    M(GroupByConstant, 164, 15, 1, u"Each GROUP BY expression must contain at least one column that is not an outer reference.") \
    M(ArgumentCount, 174, 15, 1, u"The %1 function requires %2 argument(s).") \
    M(ReturnStatementReturnStatus, 178, 15, 1, u"A RETURN statement with a return status can only be used in a stored procedure.") \
    M(ArgumentCountRange, 189, 15, 1, u"The %1 function requires %2 to %3 arguments.") \
    M(NestedTooDeeply, 191, 15, 1, u"Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries.") \
    M(UnknownFunction, 195, 15, 1, u"'%1' is not a recognized built-in function name.") \
    M(UnknownSetOption, 195, 15, 1, u"'%1' is not a recognized SET option.") \
    M(ProcedureFunctionExpectsParameter, 201, 16, 1, u"Procedure or function 'sp_executesql' expects parameter '@statement', which was not supplied.") \
    M(ProcedureExpectsParameter, 201, 16, 4, u"Procedure or function '%1' expects parameter '%2', which was not supplied.") \
    M(AllQueriesCombinedUsing, 205, 16, 1, u"All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number of expressions in their target lists.") \
    M(OperandTypeClash, 206, 16, 1, u"Operand type clash: %1 is incompatible with %2") \
    M(InvalidColumnName, 207, 16, 1, u"Invalid column name '%1'.") \
    M(InvalidObjectName, 208, 16, 1, u"Invalid object name '%1'.") \
    M(AmbiguousColumnName, 209, 16, 1, u"Ambiguous column name '%1'.") \
    M(ProcedureExpectsParameterType, 214, 16, 1, u"Procedure expects parameter '%1' of type 'ntext/nchar/nvarchar'.") \
    M(SplitSeparatorNotOneCharacter, 214, 16, 1, u"Procedure expects parameter 'separator' of type 'nchar(1)/nvarchar(1)'.") \
    M(MaximumStoredProcedureFunction, 217, 16, 1, u"Maximum stored procedure, function, trigger, or view nesting level exceeded (limit %1).") \
    M(OverflowForDataType, 220, 16, 1, u"Arithmetic overflow error for data type %1, value = %2.") \
    M(OverflowForType, 232, 16, 1, u"Arithmetic overflow error for type %1, value = %2.") \
    M(ConvertCharValueMoney, 235, 16, 1, u"Cannot convert a char value to money. The char value has incorrect syntax.") \
    M(RecursiveTypesDiffer, 240, 16, 1, u"Types don't match between the anchor and the recursive part in column \"%1\" of recursive query \"%2\".") \
    M(DateConversionFailed, 241, 16, 1, u"Conversion failed when converting date and/or time from character string.") \
    M(ConversionOutOfRange, 242, 16, 1, u"The conversion of a %1 data type to a %2 data type resulted in an out-of-range value.") \
    M(ConversionOverflowedInteger, 244, 16, 1, u"The conversion of the %1 value '%2' overflowed an %3 column. Use a larger integer column.") \
    M(ConversionFailed, 245, 16, 1, u"Conversion failed when converting the %1 value '%2' to data type %3.") \
    M(NoAnchorMemberSpecified, 246, 16, 1, u"No anchor member was specified for recursive query \"%1\".") \
    M(ConversionOverflowed, 248, 16, 1, u"The conversion of the %1 value '%2' overflowed an %3 column.") \
    M(RecursiveCommonTableExpression, 252, 16, 1, u"Recursive common table expression '%1' does not contain a top-level UNION ALL operator.") \
    M(NoMethods, 258, 15, 1, u"Cannot call methods on %1.") \
    M(AdHocUpdatesSystemCatalogs, 259, 16, 1, u"Ad hoc updates to system catalogs are not allowed.") \
    M(SpecifyTableSelectFrom, 263, 16, 1, u"Must specify table to select from.") \
    M(InsufficientArguments, 313, 16, 1, u"An insufficient number of arguments were supplied for the procedure or function %1.") \
    M(InvalidStyle, 281, 16, 1, u"%1 is not a valid style number when converting to %2.") \
    M(InvalidStyleToText, 281, 16, 1, u"%1 is not a valid style number when converting from %2 to a character string.") \
    M(ConstructDataTypeSome, 289, 16, 1, u"Cannot construct data type %1, some of the arguments have values which are not valid.") \
    M(XmlDataTypeCompared, 305, 16, 1, u"The XML data type cannot be compared or sorted, except when using the IS NULL operator.") \
    M(ValueSpecifiedMaxrecursionOption, 310, 15, 1, u"The value %1 specified for the MAXRECURSION option exceeds the allowed maximum of 32767.") \
    M(UnknownTableHint, 321, 15, 1, u"%1 is not a recognized table hints option. If it is intended as a parameter to a table-valued function or to the CHANGETABLE function, ensure that your database compatibility mode is set to 90.") \
    M(IncorrectSyntaxNearKeyword, 319, 16, 1, u"Incorrect syntax near the keyword '%1'. If this statement is a common table expression, an xmlnamespaces clause or a change tracking context clause, the previous statement must be terminated with a semicolon.") \
    M(IncompatibleOperands, 402, 16, 1, u"The data types %1 and %2 are incompatible in the %3 operator.") \
    M(RecursiveReferencesNotAllowed, 465, 16, 1, u"Recursive references are not allowed in subqueries.") \
    M(ColumnReturnedFromNodes, 493, 16, 1, u"The column '%1' that was returned from the nodes() method cannot be used directly. It can only be used with one of the four XML data type methods, exist(), nodes(), query(), and value(), or in IS NULL and IS NOT NULL checks.") \
    M(InvalidEscapeCharacterSpecified, 506, 16, 1, u"The invalid escape character \"%1\" was specified in a LIKE predicate.") \
    M(SubqueryMultipleValues, 512, 16, 1, u"Subquery returned more than 1 value. This is not permitted when the subquery follows =, !=, <, <= , >, >= or when the subquery is used as an expression.") \
    M(NullNotAllowed, 515, 16, 1, u"Cannot insert the value NULL into column '%1', table '%2'; column does not allow nulls. %3 fails.") \
    M(NullNotAllowedInInsert, 515, 16, 1, u"Cannot insert the value NULL into column '%1'; column does not allow nulls. INSERT fails.") \
    M(AddingValueColumnCaused, 517, 16, 1, u"Adding a value to a '%1' column caused an overflow.") \
    M(ExplicitConversionNotAllowed, 529, 16, 1, u"Explicit conversion from data type %1 to %2 is not allowed.") \
    M(RecursionExhausted, 530, 16, 1, u"The statement terminated. The maximum recursion %1 has been exhausted before statement completion.") \
    M(DatediffFunctionResultedOverflow, 535, 16, 1, u"The datediff function resulted in an overflow. The number of dateparts separating two date/time instances is too large. Try to use datediff with a less precise datepart.") \
    M(InvalidLength, 536, 16, 1, u"Invalid length parameter passed to the %1 function.") \
    M(InvalidLengthLeftSubstring, 537, 16, 1, u"Invalid length parameter passed to the LEFT or SUBSTRING function.") \
    M(InsertExplicitValueIdentity, 544, 16, 1, u"Cannot insert explicit value for identity column in table '%1' when IDENTITY_INSERT is set to OFF.") \
    M(InsufficientMemory, 701, 17, 1, u"There is insufficient system memory in resource pool 'default' to run this query.") \
    M(DatabaseDoesNotExist, 911, 16, 1, u"Database '%1' does not exist. Make sure that the name is entered correctly.") \
    M(SpecifiedScaleInvalid, 1002, 15, 1, u"Line %1: Specified scale %2 is invalid.") \
    M(NumberOutOfRange, 1007, 15, 1, u"The number '%1' is out of the range for numeric representation (maximum precision 38).") \
    M(CorrelationNameTwice, 1011, 16, 1, u"The correlation name '%1' is specified multiple times in a FROM clause.") \
    M(SameExposedNames, 1013, 16, 1, u"The objects \"%1\" and \"%2\" in the FROM clause have the same exposed names. Use correlation names to distinguish them.") \
    M(AggregateInOnClause, 1015, 15, 1, u"An aggregate cannot appear in an ON clause unless it is in a subquery contained in a HAVING clause or select list, and the column being aggregated is an outer reference.") \
    M(TopFetchClauseContains, 1014, 16, 1, u"A TOP or FETCH clause contains an invalid value.") \
    M(InvalidParameterSpecified, 1023, 15, 1, u"Invalid parameter 1 specified for %1.") \
    M(GotoUsedJumpInto, 1026, 16, 1, u"GOTO cannot be used to jump into a TRY or CATCH scope.") \
    M(PercentValuesBetween, 1031, 15, 1, u"Percent values must be between 0 and 100.") \
    M(OrderClauseInvalidViews, 1033, 15, 1, u"The ORDER BY clause is invalid in views, inline functions, derived tables, subqueries, and common table expressions, unless TOP, OFFSET or FOR XML is also specified.") \
    M(NumberRowsProvidedTop, 1060, 15, 1, u"The number of rows provided for a TOP or FETCH clauses row count parameter must be an integer.") \
    M(TopWithTiesWithoutOrderBy, 1062, 16, 1, u"The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause.") \
    M(NolockOnTarget, 1065, 15, 1, u"The NOLOCK and READUNCOMMITTED lock hints are not allowed for target tables of INSERT, UPDATE, DELETE or MERGE statements.") \
    M(DeclareTableVariable, 1087, 15, 1, u"Must declare the table variable \"%1\".") \
    M(ObjectNotFound, 1088, 16, 1, u"Cannot find the object \"%1\" because it does not exist or you do not have permissions.") \
    M(DiskFull, 1105, 17, 1, u"Could not allocate space for the database: the disk that holds it or its temporary files is full. Create disk space by deleting unneeded files.") \
    M(LockTimeout, 1222, 16, 51, u"Lock request time out period exceeded.") \
    M(UnknownTargetColumn, 1911, 16, 1, u"Column name '%1' does not exist in the target table or view.") \
    M(IndexAlreadyExists, 1913, 16, 1, u"The operation failed because an index or statistics with name '%1' already exists on table '%2'.") \
    M(XqueryStringLiteralExpected, 2225, 16, 1, u"XQuery: A string literal was expected near '%1'.") \
    M(XqueryValueRequiresSingleton, 2389, 16, 1, u"XQuery [value()]: 'value()' requires a singleton (or empty sequence), found operand of type 'xdt:untypedAtomic *'") \
    M(ViolationPrimaryKeyConstraint, 2627, 14, 1, u"Violation of PRIMARY KEY or UNIQUE KEY constraint. Cannot insert duplicate key in object '%1'.") \
    M(StringTruncated, 2628, 16, 1, u"String or binary data would be truncated in table '%1', column '%2'. Truncated value: '%3'.") \
    M(ColumnNamesEachTable, 2705, 16, 1, u"Column names in each table must be unique. Column name '%1' in table '%2' specified more than once.") \
    M(ObjectExists, 2714, 16, 1, u"There is already an object named '%1' in the database.") \
    M(ColumnParameterVariableFind, 2715, 16, 6, u"Column, parameter, or variable #%1: Cannot find data type %2.") \
    M(ErrorNumberInvalidNumber, 2732, 16, 1, u"Error number %1 is invalid. The number must be from %2 through %3 and it cannot be 50000.") \
    M(SetLanguageFailedBecause, 2740, 16, 1, u"SET LANGUAGE failed because '%1' is not an official language name or a language alias on this SQL Server.") \
    M(SetDateformatDateOrder, 2741, 16, 1, u"SET DATEFORMAT date order '%1' is invalid.") \
    M(DateFirstOutOfRange, 2742, 16, 1, u"SET DATEFIRST %1 is out of range.") \
    M(MultipleIdentityColumnsSpecified, 2744, 16, 1, u"Multiple identity columns specified for table '%1'. Only one identity column per table is allowed.") \
    M(TooManySubstitutionParameters, 2747, 16, 1, u"Too many substitution parameters for RAISERROR. Cannot exceed %1 substitution parameters.") \
    M(SpecifyDataTypeParameter, 2748, 16, 1, u"Cannot specify %1 data type (parameter %2) as a substitution parameter.") \
    M(IdentityColumnDataType, 2749, 16, 1, u"Identity column '%1' must be of data type int, bigint, smallint, tinyint, or decimal or numeric with a scale of 0, unencrypted, and constrained to be nonnullable.") \
    M(PrecisionTooLarge, 2750, 16, 1, u"Column or parameter #%1: Specified column precision %2 is greater than the maximum precision of 38.") \
    M(ScaleTooLarge, 2751, 16, 1, u"Column or parameter #%1: Specified column scale %2 is greater than the specified precision of %3.") \
    M(ErrorSeverityLevelsGreater, 2754, 16, 1, u"Error severity levels greater than 18 can only be specified by members of the sysadmin role, using the WITH LOG option.") \
    M(DataTypeSubstitutionParameter, 2786, 16, 1, u"The data type of substitution parameter %1 does not match the expected type of the format specification.") \
    M(ProcedureNotFound, 2812, 16, 1, u"Could not find stored procedure '%1'.") \
    M(QueryTimeout, 3617, 25, 1, u"Query timeout expired") \
    M(InvalidFloatingPointOperation, 3623, 16, 1, u"An invalid floating point operation occurred.") \
    M(CannotDropTable, 3701, 11, 1, u"Cannot drop the table '%1', because it does not exist or you do not have permission.") \
    M(CommitTransactionRequestNo, 3902, 16, 1, u"The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.") \
    M(RollbackTransactionRequestNo, 3903, 16, 1, u"The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION.") \
    M(DatabaseReadOnly, 3906, 16, 1, u"Failed to update the database because the database is read-only.") \
    M(IsolatedBatchRunInside, 3930, 16, 1, u"An isolated batch cannot run inside a transaction of the connection.") \
    M(NotSqliteConnection, 3930, 16, 1, u"The connection is not a SQLite database.") \
    M(MultiPartNotBound, 4104, 16, 1, u"The multi-part identifier \"%1\" could not be bound.") \
    M(WindowedFunctionsOnlySelect, 4108, 15, 1, u"Windowed functions can only appear in the SELECT or ORDER BY clauses.") \
    M(WindowedFunctionsContext, 4109, 15, 1, u"Windowed functions cannot be used in the context of another windowed function or aggregate.") \
    M(FunctionMustHaveOverOrder, 4112, 15, 1, u"The function '%1' must have an OVER clause with ORDER BY.") \
    M(NotValidWindowingFunction, 4113, 15, 1, u"The function '%1' is not a valid windowing function, and cannot be used with the OVER clause.") \
    M(UnknownColumnOrFunction, 4121, 16, 1, u"Cannot find either column \"%1\" or the user-defined function or aggregate \"%2\", or the name is ambiguous.") \
    M(LeastOneArgumentsCoalesce, 4127, 16, 1, u"At least one of the arguments to COALESCE must be an expression that is not the NULL constant.") \
    M(NonBoolean, 4145, 15, 1, u"An expression of non-boolean type specified in a context where a condition is expected.") \
    M(NonBooleanNear, 4145, 15, 1, u"An expression of non-boolean type specified in a context where a condition is expected, near '%1'.") \
    M(TypeFirstArgumentNullif, 4151, 16, 1, u"The type of the first argument to NULLIF cannot be the NULL constant because the type of the first argument has to be known.") \
    M(RangeOnlyUnbounded, 4194, 16, 1, u"RANGE is only supported with UNBOUNDED and CURRENT ROW window frame delimiters.") \
    M(WindowIntegerIndices, 5308, 16, 1, u"Windowed functions, aggregates and NEXT VALUE FOR functions do not support integer indices as ORDER BY clause expressions.") \
    M(XmlDatatypeInstanceToo, 6335, 16, 1, u"XML datatype instance has too many levels of nested nodes. Maximum allowed depth is 128 levels.") \
    M(LobTooLarge, 7119, 16, 1, u"Attempting to grow LOB beyond maximum allowed size of 2147483647 bytes.") \
    M(ExplicitValueIdentityColumn, 8101, 16, 1, u"An explicit value for the identity column in table '%1' can only be specified when a column list is used and IDENTITY_INSERT is ON.") \
    M(UpdateIdentityColumn, 8102, 16, 1, u"Cannot update identity column '%1'.") \
    M(TableDoesNotIdentity, 8106, 16, 1, u"Table '%1' does not have the identity property. Cannot perform SET operation.") \
    M(IdentityInsertAlreadyTable, 8107, 16, 1, u"IDENTITY_INSERT is already ON for table '%1'. Cannot perform SET operation for table '%2'.") \
    M(AddMultiplePrimaryKey, 8110, 16, 1, u"Cannot add multiple PRIMARY KEY constraints to table '%1'.") \
    M(ErrorConverting, 8114, 16, 1, u"Error converting data type %1 to %2.") \
    M(ArithmeticOverflow, 8115, 16, 1, u"Arithmetic overflow error converting %1 to data type %2.") \
    M(InvalidArgumentType, 8116, 16, 1, u"Argument data type %1 is invalid for argument 1 of %2 function.") \
    M(InvalidOperand, 8117, 16, 1, u"Operand data type %1 is invalid for %2 operator.") \
    M(ColumnInvalidSelectList, 8120, 16, 1, u"Column '%1.%2' is invalid in the select list because it is not contained in either an aggregate function or the GROUP BY clause.") \
    M(ColumnInvalidHaving, 8121, 16, 1, u"Column '%1.%2' is invalid in the HAVING clause because it is not contained in either an aggregate function or the GROUP BY clause.") \
    M(ColumnInvalidOrderBy, 8127, 16, 1, u"Column \"%1.%2\" is invalid in the ORDER BY clause because it is not contained in either an aggregate function or the GROUP BY clause.") \
    M(LeastOneResultExpressions, 8133, 16, 1, u"At least one of the result expressions in a CASE specification must be an expression other than the NULL constant.") \
    M(DivideByZero, 8134, 16, 1, u"Divide by zero error encountered.") \
    M(ProcedureFunctionSpExecutesql, 8144, 16, 1, u"Procedure or function sp_executesql has too many arguments specified.") \
    M(FunctionTooManyArguments, 8144, 16, 1, u"Procedure or function %1 has too many arguments specified.") \
    M(NotParameterForProcedure, 8145, 16, 1, u"%1 is not a parameter for procedure %2.") \
    M(NoColumnNameSpecified, 8155, 16, 1, u"No column name was specified for column %1 of '%2'.") \
    M(ColumnSpecifiedMultipleTimes, 8156, 16, 1, u"The column '%1' was specified multiple times for '%2'.") \
    M(MoreColumnsThanList, 8158, 16, 1, u"'%1' has more columns than were specified in the column list.") \
    M(FewerColumnsThanList, 8159, 16, 1, u"'%1' has fewer columns than were specified in the column list.") \
    M(ParameterizedQueryExpectsParameter, 8178, 16, 1, u"The parameterized query '(%1)%2' expects the parameter '%3', which was not supplied.") \
    M(LagLeadNegativeOffset, 8730, 16, 1, u"Offset parameter for Lag and Lead functions cannot be a negative value.") \
    M(XmlUnexpectedEnd, 9400, 16, 1, u"XML parsing: line %1, character %2, unexpected end of input") \
    M(XmlWhitespaceExpected, 9410, 16, 1, u"XML parsing: line %1, character %2, whitespace expected") \
    M(XmlSemicolonExpected, 9411, 16, 1, u"XML parsing: line %1, character %2, semicolon expected") \
    M(XmlGreaterExpected, 9412, 16, 1, u"XML parsing: line %1, character %2, '>' expected") \
    M(XmlStringLiteralExpected, 9413, 16, 1, u"XML parsing: line %1, character %2, A string literal was expected") \
    M(XmlEqualExpected, 9414, 16, 1, u"XML parsing: line %1, character %2, equal expected") \
    M(XmlLessThanInAttribute, 9415, 16, 1, u"XML parsing: line %1, character %2, well formed check: no '<' in attribute value") \
    M(XmlIllegalCharacter, 9420, 16, 1, u"XML parsing: line %1, character %2, illegal xml character") \
    M(XmlIncorrectSyntax, 9422, 16, 1, u"XML parsing: line %1, character %2, incorrect document syntax") \
    M(XmlEndTagMismatch, 9436, 16, 1, u"XML parsing: line %1, character %2, end tag does not match start tag") \
    M(XmlDuplicateAttribute, 9437, 16, 1, u"XML parsing: line %1, character %2, duplicate attribute") \
    M(XmlDeclarationNotFirst, 9438, 16, 1, u"XML parsing: line %1, character %2, text/xmldecl not at the beginning of input") \
    M(XmlUndeclaredEntity, 9448, 16, 1, u"XML parsing: line %1, character %2, well formed check: undeclared entity") \
    M(XmlIllegalNameCharacter, 9455, 16, 1, u"XML parsing: line %1, character %2, illegal qualified name character") \
    M(XmlUndeclaredPrefix, 9459, 16, 1, u"XML parsing: line %1, character %2, undeclared prefix") \
    M(DataTypeUsedValue, 9500, 16, 1, u"The data type '%1' used in the VALUE method is invalid.") \
    M(SessionsDateFormatProvide, 9808, 16, 1, u"This session's YDM date format is not supported when converting from this character string format to date, time, datetime2 or datetimeoffset. Change the session's date format or provide a style to the explicit conversion.") \
    M(StyleNotSupportedConversions, 9809, 16, 1, u"The style %1 is not supported for conversions from %2 to %3.") \
    M(DatepartNotSupported, 9810, 16, 1, u"The datepart %1 is not supported by date function %2 for data type %3.") \
    M(CultureNotSupported, 9818, 16, 1, u"The culture parameter '%1' provided in the function call is not supported.") \
    M(ParseConversionFailed, 9819, 16, 1, u"Error converting string value '%1' into data type %2 using culture '%3'.") \
    M(TranslateUnequalLengths, 9828, 16, 1, u"The second and third arguments of the TRANSLATE built-in function must contain an equal number of characters.") \
    M(StringAggExceededLimit, 9829, 16, 1, u"STRING_AGG aggregation result exceeded the limit of 8000 bytes. Use LOB types to avoid result truncation.") \
    M(RethrowErrorThrowStatement, 10704, 15, 1, u"To rethrow an error, a THROW statement must be used inside a CATCH block. Insert the THROW statement inside a CATCH block, or add error parameters to the THROW statement.") \
    M(NumberColumnsEachRow, 10709, 16, 1, u"The number of columns for each row in a table value constructor must be the same.") \
    M(TopCannotUsedOffset, 10741, 15, 2, u"A TOP can not be used in the same query or sub-query as a OFFSET.") \
    M(OffsetMayNotNegative, 10742, 15, 1, u"The offset specified in a OFFSET clause may not be negative.") \
    M(OffsetMustBeInteger, 10743, 15, 1, u"The number of rows provided for a OFFSET clause must be an integer.") \
    M(FetchMustBePositive, 10744, 15, 1, u"The number of rows provided for a FETCH clause must be greater then zero.") \
    M(FunctionMayNotHaveFrame, 10752, 15, 1, u"The function '%1' may not have a window frame.") \
    M(FunctionMustHaveOver, 10753, 15, 1, u"The function '%1' must have an OVER clause.") \
    M(WindowFrameNeedsOrder, 10756, 15, 1, u"Window frame with ROWS or RANGE must have an ORDER BY clause.") \
    M(DistinctNotAllowedOver, 10759, 15, 1, u"Use of DISTINCT is not allowed with the OVER clause.") \
    M(InvalidDataTypeInFunction, 10761, 16, 1, u"Invalid data type %1 in function %2.") \
    M(ObjectNotInDatabase, 15009, 16, 1, u"The object '%1' does not exist in database '%2' or is invalid for this operation.") \
    M(MessageNotFound, 18054, 16, 1, u"Error %1, severity %2, state %3 was raised, but no message with that error number was found in sys.messages. If error is larger than 50000, make sure the user-defined message is added using sp_addmessage.") \
    M(ErrorNumberThrowStatement, 35100, 16, 1, u"Error number %1 in the THROW statement is outside the valid range. Specify an error number in the valid range of 50000 to 2147483647.") \
    M(StateThrowStatementOutside, 35101, 16, 1, u"State %1 in the THROW statement is outside the valid range. Specify a state in the valid range of 0 to 255.") \
    M(AssigningVariablesUpdateNot, 40000, 16, 1, u"Assigning variables in UPDATE is not supported by the embedded server.") \
    M(CompoundAssignmentColumnsNot, 40000, 16, 1, u"Compound assignment of columns is not supported.") \
    M(ExpressionNotOverTables, 40000, 16, 1, u"This expression cannot be used in a query over tables.") \
    M(OuterJoinsOverXml, 40000, 16, 1, u"Outer joins over xml sources are not supported.") \
    M(TablesCombinedXmlSources, 40000, 16, 1, u"Tables cannot be combined with xml sources in one query.") \
    M(TopPercentDmlNotSupported, 40000, 16, 1, u"TOP ... PERCENT in UPDATE and DELETE is not supported by the embedded server.") \
    M(RandSeedNotSupported, 40000, 16, 1, u"RAND with a seed is not supported by the embedded server.") \
    M(CodePageCharacterNotSupported, 40000, 16, 1, u"Converting the character U+%1 to char or varchar is not supported by the embedded server.") \
    M(AggregateUseNotSupported, 40000, 16, 1, u"This use of an aggregate function is not supported by the embedded server.") \
    M(TableHintNotSupported, 40000, 16, 1, u"The table hint %1 is not supported by the embedded server.") \
    M(TableHintsCombinationNotSupported, 40000, 16, 1, u"This combination of table hints is not supported by the embedded server.") \
    M(SetOptionNotSupported, 40000, 16, 1, u"SET %1 %2 is not supported by the embedded server.") \
    M(CollationNotSupported, 40000, 16, 1, u"The collation %1 is not supported by the embedded server.") \
    M(CheckConstraintNotSupported, 40000, 16, 1, u"A CHECK constraint is not supported by the embedded server.") \
    M(RaiserrorSeterrorNotSupported, 40000, 16, 1, u"RAISERROR ... WITH SETERROR is not supported by the embedded server.") \
    M(NamedRollbackNotSupported, 40000, 16, 1, u"ROLLBACK TRANSACTION with a name is not supported by the embedded server.") \
    M(ConvertStyleNotSupported, 40000, 16, 1, u"CONVERT style %1 from %2 to %3 is not supported by the embedded server.") \
    M(XmlNodesSourceCombined, 40000, 16, 1, u"An xml nodes() source cannot be combined with tables in one query.") \
    M(XmlNodesSourceJoined, 40000, 16, 1, u"An xml nodes() source cannot be joined with tables here.") \
    M(JoinTooManyTables, 40000, 16, 1, u"A query that joins more than 64 tables is not supported by the embedded server.") \
    M(CompoundTooManyQueries, 40000, 16, 1, u"A query that combines this many queries with UNION, EXCEPT or INTERSECT is not supported by the embedded server.") \
    M(OffsetFetchNotSupported, 40000, 16, 1, u"An OFFSET or FETCH row count that reads columns or aggregates is not supported by the embedded server.") \
    M(OdbcTimeLiteralNotSupported, 40000, 16, 1, u"The ODBC time constant {t '...'} is not supported by the embedded server.") \
    M(TimeValueNotSupported, 40000, 16, 1, u"%1 is not supported by the embedded server.") \
    M(WindowAggregateNotSupported, 40000, 16, 1, u"The aggregate %1 with an OVER clause is not supported by the embedded server.") \
    M(WindowFrameNotSupported, 40000, 16, 1, u"This window frame or row offset is not supported by the embedded server.") \
    M(WindowOutsideQuery, 40000, 16, 1, u"A window function outside a query over rows is not supported by the embedded server.") \
    M(TooManyGroupingSets, 40000, 16, 1, u"A GROUP BY of more than %1 grouping sets is not supported by the embedded server.") \
    M(GroupingElementNotSupported, 40000, 16, 1, u"ROLLUP, CUBE and GROUPING SETS of expressions other than columns are not supported by the embedded server.") \
    M(GroupingArgumentNotSupported, 40000, 16, 1, u"GROUPING and GROUPING_ID of an expression that is not a grouping column are not supported by the embedded server.") \
    M(GroupingOrderNotSupported, 40000, 16, 1, u"An ORDER BY item of a grouping-sets query that is not in its select list is not supported by the embedded server.") \
    M(ApplyManyRowsNotSupported, 40000, 16, 1, u"CROSS APPLY or OUTER APPLY of a query over tables that reads the left side and may give more than one row is not supported by the embedded server.") \
    M(QueryTooManyColumns, 40000, 16, 1, u"A query with this many columns is not supported by the embedded server.") \
    M(StatementTooManyValues, 40000, 16, 1, u"A statement with this many values is not supported by the embedded server.") \
    M(StringSplitOfColumnsNotSupported, 40000, 16, 1, u"STRING_SPLIT of a column of a table is not supported by the embedded server.") \
    M(StringAggDistinctNotSupported, 40000, 16, 1, u"STRING_AGG with DISTINCT is not supported by the embedded server.") \
    M(CultureNotSupportedEmbedded, 40000, 16, 1, u"The culture '%1' is not supported by the embedded server.") \
    M(FormatNotSupported, 40000, 16, 1, u"FORMAT with the format '%1' is not supported by the embedded server.") \
    M(FormatTypeNotSupported, 40000, 16, 1, u"FORMAT of a value of type %1 is not supported by the embedded server.") \
    M(ParseTextNotSupported, 40000, 16, 1, u"PARSE of the text '%1' into %2 is not supported by the embedded server.") \
    M(XactAbortCatchNotSupported, 40000, 16, 1, u"An error caught by TRY...CATCH inside a transaction under SET XACT_ABORT ON is not supported by the embedded server.") \
    M(BatchStoppedAfterLoop, 40001, 16, 1, u"The batch was stopped after %1 loop iterations.") \
    M(OutOfMemoryBudget, 40002, 17, 1, u"The batch needs more than %1 of memory, the limit of the embedded server.") \
    M(DatabaseEndedTransactionIsolated, 40003, 20, 1, u"The database ended the transaction of the isolated batch after an error; the batch was stopped.") \
    M(IsolatedInTransaction, 40004, 16, 1, u"An isolated batch cannot run while a transaction of the connection is open.") \
    M(EmbeddedServerFailure, 40005, 16, 1, u"The embedded server could not run the statement: %1.") \
    M(OutOfDiskBudget, 40006, 20, 1, u"The batch writes more than %1 to disk, the limit of the embedded server.") \
    M(StatementValueNotBound, 50000, 16, 1, u"A value of the statement could not be bound.")
// clang-format on

enum class Msg {
#define TSQL_MESSAGE_NAME(name, number, level, state, text) name,
    TSQL_MESSAGES(TSQL_MESSAGE_NAME)
#undef TSQL_MESSAGE_NAME
};

struct MessageDef {
    int number;
    int level;
    int state;
    std::u16string_view text;
};

inline constexpr MessageDef kMessages[] = {
#define TSQL_MESSAGE_DEF(name, number, level, state, text) {number, level, state, text},
    TSQL_MESSAGES(TSQL_MESSAGE_DEF)
#undef TSQL_MESSAGE_DEF
};

constexpr const MessageDef& messageDef(Msg m) {
    return kMessages[static_cast<std::size_t>(m)];
}

// The highest %n of a text: the count of arguments its message takes.
constexpr int placeholderCount(std::u16string_view text) {
    int count = 0;
    for (std::size_t k = 0; k + 1 < text.size(); ++k)
        if (text[k] == u'%' && text[k + 1] >= u'1' && text[k + 1] <= u'9' && text[k + 1] - u'0' > count)
            count = text[k + 1] - u'0';
    return count;
}

// An argument as its text: a string as it is, anything else as QString::arg() writes it.
inline QString messageArg(const QString& s) {
    return s;
}
template <std::size_t N> QString messageArg(const char16_t (&s)[N]) {
    return QString::fromUtf16(s, qsizetype(N - 1));
}
template <typename T> QString messageArg(const T& v) {
    return QStringLiteral("%1").arg(v);
}

// The text with each %n replaced by the n-th argument, in one pass (an argument's own %n stays).
QString formatMessage(std::u16string_view text, std::initializer_list<QString> args);

template <Msg M, typename... Args> ServerError serverError(int line, int column, const Args&... args) {
    constexpr const MessageDef& def = messageDef(M);
    static_assert(sizeof...(Args) == placeholderCount(def.text),
                  "the message takes another count of arguments");
    return ServerError{def.number, def.level, def.state,
                       line,       column,    formatMessage(def.text, {messageArg(args)...})};
}

// The text alone, for a message given at another level (RAISERROR's severity).
template <Msg M, typename... Args> QString messageText(const Args&... args) {
    static_assert(sizeof...(Args) == placeholderCount(messageDef(M).text),
                  "the message takes another count of arguments");
    return formatMessage(messageDef(M).text, {messageArg(args)...});
}

template <Msg M, typename... Args> [[noreturn]] void raiseAt(int line, int column, const Args&... args) {
    throw SqlError{serverError<M>(line, column, args...)};
}

template <Msg M, typename... Args> [[noreturn]] void raise(const Args&... args) {
    raiseAt<M>(0, 0, args...);
}

} // namespace tsql
