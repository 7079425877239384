#pragma once
// Lexer and parser: source text to a Program. Syntax errors throw ScriptError with a
// compilation source, the line, the column and the offending line's text.

#include "platform/vbscript/Ast.h"

#include <QString>
#include <memory>

namespace orra::vbs {

struct ParseOptions {
    bool expressionOnly = false;     // Eval: one expression
    const Proc* context = nullptr;   // Execute inside a procedure: its locals are visible
    const ClassDef* contextClass = nullptr;
    int maxDepth = 400;   // nesting limit of expressions and blocks
};

std::unique_ptr<Program> parseProgram(const QString& source, const ParseOptions& options = {});

}   // namespace orra::vbs
