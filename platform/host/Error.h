#pragma once
// The one error type of the system: what the original raised as an error object
// (number, source, description). Every layer throws this and only this for the
// errors a caller is meant to see.

#include "platform/host/ErrorNumbers.h"

#include <QString>
#include <exception>
#include <string>

namespace orra {

class Error : public std::exception {
public:
    Error() = default;
    Error(long number, QString source, QString description)
        : m_number(number), m_source(std::move(source)), m_description(std::move(description)),
          m_what(m_description.toStdString())
    {
    }

    long number() const noexcept { return m_number; }
    const QString& source() const noexcept { return m_source; }
    const QString& description() const noexcept { return m_description; }
    void setSource(const QString& source) { m_source = source; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    long m_number = 0;
    QString m_source;
    QString m_description;
    std::string m_what;
};

}   // namespace orra
