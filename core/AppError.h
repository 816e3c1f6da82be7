#pragma once

#include <QString>
#include <stdexcept>

// A failure reported to the user as "<number> <description>" (or "Error <number> <description>").
class AppError : public std::runtime_error
{
public:
    AppError(int number, const QString &description);

    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number;
    QString m_description;
};
