#include "platform/db/embedded/translator/StatementParser.h"

namespace orra::embedded::translator {

QString StatementParser::nameAt(size_t i)
{
    if (i >= m_ctx.size() || !m_ctx[i].isName()) {
        failNear(i);
        return {};
    }
    return m_ctx[i].text;
}

// create database|login|user|role|schema name …: carried out by the server itself.
Statement StatementParser::administration()
{
    const size_t p = m_c.position();
    const size_t e = findEnd(p);
    const QString name = nameAt(p + 2);
    Statement s;
    if (m_c.at("database", 1)) {
        s.node = CreateDatabase{name};
    } else if (m_c.at("login", 1)) {
        // create login L with password = '…'
        CreateLogin login{name, QString()};
        for (size_t i = p + 3; i + 2 < e + 1 && i + 2 < m_ctx.size(); ++i) {
            if (m_ctx[i].is("password") && m_ctx[i + 1].isSymbol("=") && m_ctx[i + 2].kind == TokenKind::String) {
                login.password = literalValue(m_ctx[i + 2], false).toString();
                break;
            }
        }
        if (!(m_c.at("with", 3) || m_c.at("from", 3)))
            fail(QStringLiteral("A password must be given for a SQL login: create login %1 with password='…'.")
                     .arg(name));
        s.node = login;
    } else if (m_c.at("user", 1)) {
        // create user U [for|from login L]
        CreateUser user{name, name};
        for (size_t i = p + 3; i + 1 < e; ++i) {
            if ((m_ctx[i].is("for") || m_ctx[i].is("from")) && m_ctx[i + 1].is("login")) {
                user.login = nameAt(i + 2);
                break;
            }
        }
        s.node = user;
    } else if (m_c.at("schema", 1)) {
        s.node = CreateSchema{name};   // [authorization owner]: the database's owner holds every schema
    } else {
        s.node = CreateRole{name};
    }
    m_c.seek(std::max(e, p + 3));
    return s;
}

}   // namespace orra::embedded::translator
