#pragma once
// A script host for the engine tests: it runs a script's text as SQL on the run connection,
// which is all the tests need to drive the "#Int" protocol of Script elements.

#include "runtime/DocOrra.h"

namespace orra::test {

class SqlScriptHost : public DocOrraScriptHost {
public:
    explicit SqlScriptHost(DocOrra& engine) : m_engine(engine) {}
    void ExecuteStatement(const QString& code) override { m_engine.Orra_Con()->execute(code); }

private:
    DocOrra& m_engine;
};

inline void installSqlScriptHost()
{
    DocOrra::setScriptHostFactory([](DocOrra& engine) { return std::make_unique<SqlScriptHost>(engine); });
}

}   // namespace orra::test
