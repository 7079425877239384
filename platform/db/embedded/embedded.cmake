# The embedded SQL server, compiled into platform_db (included by platform/db/CMakeLists.txt).
set(_orra_embedded_dir ${CMAKE_CURRENT_LIST_DIR})
set(_orra_sql_dir ${PROJECT_SOURCE_DIR}/sql/embedded)
set(_orra_gen ${CMAKE_CURRENT_BINARY_DIR}/embedded_generated)
# The server's own schemas; what the programs keep in their databases they register.
orra_embed_sql(${_orra_gen}/EmbeddedSchemas.h ${_orra_sql_dir} master database)

target_sources(platform_db PRIVATE
  ${_orra_embedded_dir}/TsqlLexer.h ${_orra_embedded_dir}/TsqlLexer.cpp
  ${_orra_embedded_dir}/TsqlTranslator.h ${_orra_embedded_dir}/TsqlTranslator.cpp
  ${_orra_embedded_dir}/translator/Rewriting.h ${_orra_embedded_dir}/translator/Rewriting.cpp
  ${_orra_embedded_dir}/translator/TokenCursor.h
  ${_orra_embedded_dir}/translator/ObjectNames.h ${_orra_embedded_dir}/translator/ObjectNames.cpp
  ${_orra_embedded_dir}/translator/ObjectReferences.cpp
  ${_orra_embedded_dir}/translator/OutputClause.h ${_orra_embedded_dir}/translator/OutputClause.cpp
  ${_orra_embedded_dir}/translator/TranslationContext.h ${_orra_embedded_dir}/translator/TranslationContext.cpp
  ${_orra_embedded_dir}/translator/StatementParser.h ${_orra_embedded_dir}/translator/StatementParser.cpp
  ${_orra_embedded_dir}/translator/ControlStatements.cpp
  ${_orra_embedded_dir}/translator/BatchStatements.cpp
  ${_orra_embedded_dir}/translator/CursorStatements.cpp
  ${_orra_embedded_dir}/translator/SqliteNames.h ${_orra_embedded_dir}/translator/SqliteNames.cpp
  ${_orra_embedded_dir}/translator/ProcedureCallParser.cpp
  ${_orra_embedded_dir}/translator/ProcedureStatements.cpp
  ${_orra_embedded_dir}/translator/StringCalls.cpp
  ${_orra_embedded_dir}/translator/PercentileCalls.cpp
  ${_orra_embedded_dir}/translator/AdministrationParser.cpp
  ${_orra_embedded_dir}/translator/ExpressionRewrites.h ${_orra_embedded_dir}/translator/ExpressionRewrites.cpp
  ${_orra_embedded_dir}/translator/ScalarSubqueries.cpp
  ${_orra_embedded_dir}/translator/OrderByRules.cpp
  ${_orra_embedded_dir}/translator/WindowClauses.cpp
  ${_orra_embedded_dir}/translator/GroupedColumns.cpp
  ${_orra_embedded_dir}/translator/SetOperations.cpp
  ${_orra_embedded_dir}/translator/ResultTyping.h ${_orra_embedded_dir}/translator/ResultTyping.cpp
  ${_orra_embedded_dir}/translator/ExpressionTyping.h ${_orra_embedded_dir}/translator/ExpressionTyping.cpp
  ${_orra_embedded_dir}/translator/TypedConversions.h ${_orra_embedded_dir}/translator/TypedConversions.cpp
  ${_orra_embedded_dir}/translator/WriteConversions.cpp
  ${_orra_embedded_dir}/translator/BatchSchema.h ${_orra_embedded_dir}/translator/BatchSchema.cpp
  ${_orra_embedded_dir}/functions/BinaryConversions.h ${_orra_embedded_dir}/functions/BinaryConversions.cpp
  ${_orra_embedded_dir}/translator/TypedRewrites.h ${_orra_embedded_dir}/translator/TypedRewrites.cpp
  ${_orra_embedded_dir}/translator/DateComparisons.cpp ${_orra_embedded_dir}/translator/ExactComparisons.cpp
  ${_orra_embedded_dir}/translator/ResultBranches.cpp
  ${_orra_embedded_dir}/ConnectionSchema.h ${_orra_embedded_dir}/ConnectionSchema.cpp
  ${_orra_embedded_dir}/IdentityColumns.h ${_orra_embedded_dir}/IdentityColumns.cpp
  ${_orra_embedded_dir}/NullKeys.h ${_orra_embedded_dir}/NullKeys.cpp
  ${_orra_embedded_dir}/functions/ExactNumbers.h ${_orra_embedded_dir}/functions/ExactNumbers.cpp
  ${_orra_embedded_dir}/translator/Rewriters.h
  ${_orra_embedded_dir}/translator/SelectRewriter.cpp
  ${_orra_embedded_dir}/translator/RecursiveQueries.cpp
  ${_orra_embedded_dir}/translator/InsertRewriter.cpp
  ${_orra_embedded_dir}/translator/FromClause.h ${_orra_embedded_dir}/translator/FromClause.cpp
  ${_orra_embedded_dir}/translator/UpdateRewriter.cpp
  ${_orra_embedded_dir}/translator/DeleteRewriter.cpp
  ${_orra_embedded_dir}/translator/CreateTableRewriter.cpp
  ${_orra_embedded_dir}/translator/SchemaRewriter.cpp
  ${_orra_embedded_dir}/translator/IndexRewriter.cpp
  ${_orra_embedded_dir}/translator/ViewRewriter.cpp
  ${_orra_embedded_dir}/translator/SelectForms.cpp
  ${_orra_embedded_dir}/translator/ApplyRewriter.cpp
  ${_orra_embedded_dir}/translator/PivotRewriter.cpp
  ${_orra_embedded_dir}/translator/MergeRewriter.cpp
  ${_orra_embedded_dir}/translator/TopWithTies.cpp
  ${_orra_embedded_dir}/translator/ForClauses.cpp
  ${_orra_embedded_dir}/translator/GroupingSets.h ${_orra_embedded_dir}/translator/GroupingSets.cpp
  ${_orra_embedded_dir}/Collation.h ${_orra_embedded_dir}/Collation.cpp
  ${_orra_embedded_dir}/ExpressionFunctions.h ${_orra_embedded_dir}/ExpressionFunctions.cpp
  ${_orra_embedded_dir}/functions/ScalarFunctions.h ${_orra_embedded_dir}/functions/ScalarFunctions.cpp
  ${_orra_embedded_dir}/functions/DateTimeValues.h ${_orra_embedded_dir}/functions/DateTimeValues.cpp
  ${_orra_embedded_dir}/functions/DateFunctions.h ${_orra_embedded_dir}/functions/DateFunctions.cpp
  ${_orra_embedded_dir}/functions/FormatFunction.cpp
  ${_orra_embedded_dir}/functions/NumberPatterns.cpp
  ${_orra_embedded_dir}/functions/StringFunctions.h ${_orra_embedded_dir}/functions/StringFunctions.cpp
  ${_orra_embedded_dir}/functions/JsonFunctions.h ${_orra_embedded_dir}/functions/JsonFunctions.cpp
  ${_orra_embedded_dir}/functions/ShapedResults.h ${_orra_embedded_dir}/functions/ShapedResults.cpp
  ${_orra_embedded_dir}/functions/StatisticalAggregates.h ${_orra_embedded_dir}/functions/StatisticalAggregates.cpp
  ${_orra_embedded_dir}/functions/AppliedRows.h ${_orra_embedded_dir}/functions/AppliedRows.cpp
  ${_orra_embedded_dir}/ConstraintMessages.h ${_orra_embedded_dir}/ConstraintMessages.cpp
  ${_orra_embedded_dir}/FixedWidthPadding.h ${_orra_embedded_dir}/FixedWidthPadding.cpp
  ${_orra_embedded_dir}/RowGuards.h ${_orra_embedded_dir}/RowGuards.cpp
  ${_orra_embedded_dir}/ColumnTypes.h ${_orra_embedded_dir}/ColumnTypes.cpp
  ${_orra_embedded_dir}/RowCountLimit.h ${_orra_embedded_dir}/RowCountLimit.cpp
  ${_orra_embedded_dir}/ConstraintChanges.cpp
  ${_orra_embedded_dir}/DuplicateKeys.cpp
  ${_orra_embedded_dir}/Authorizer.h ${_orra_embedded_dir}/Authorizer.cpp
  ${_orra_embedded_dir}/ObjectCatalog.h ${_orra_embedded_dir}/ObjectCatalog.cpp
  ${_orra_embedded_dir}/FunctionCalls.cpp
  ${_orra_embedded_dir}/translator/FunctionDefinitions.cpp
  ${_orra_embedded_dir}/translator/FunctionReferences.cpp
  ${_orra_embedded_dir}/translator/InlineFunctions.h ${_orra_embedded_dir}/translator/InlineFunctions.cpp
  ${_orra_embedded_dir}/translator/QuantifiedComparisons.h ${_orra_embedded_dir}/translator/QuantifiedComparisons.cpp
  ${_orra_embedded_dir}/translator/FunctionHeader.h ${_orra_embedded_dir}/translator/FunctionHeader.cpp
  ${_orra_embedded_dir}/ExactTyping.h ${_orra_embedded_dir}/ExactTyping.cpp
  ${_orra_embedded_dir}/SqliteHandles.h
  ${_orra_embedded_dir}/Extensions.h ${_orra_embedded_dir}/Extensions.cpp
  ${_orra_embedded_dir}/Server.h ${_orra_embedded_dir}/ServerInternal.h ${_orra_embedded_dir}/Server.cpp)
target_sources(platform_db PRIVATE ${_orra_embedded_dir}/EmbeddedBackend.h ${_orra_embedded_dir}/EmbeddedBackend.cpp
  ${_orra_embedded_dir}/BatchRun.h ${_orra_embedded_dir}/BatchExecution.cpp
  ${_orra_embedded_dir}/Cursors.h ${_orra_embedded_dir}/Cursors.cpp
  ${_orra_embedded_dir}/ProcedureExecution.cpp
  ${_orra_embedded_dir}/OutputRows.cpp
  ${_orra_embedded_dir}/DatabaseIds.cpp
  ${_orra_embedded_dir}/BatchErrors.h ${_orra_embedded_dir}/BatchErrors.cpp)
target_include_directories(platform_db PRIVATE ${_orra_gen})
target_link_libraries(platform_db PUBLIC PkgConfig::SODIUM)
