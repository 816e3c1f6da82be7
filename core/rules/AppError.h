#pragma once

#include <QString>
#include <stdexcept>

// A failure reported to the user as "<number> <description>" (or "Error <number> <description>").
// The numbers and their descriptions are the program's one catalogue of errors.
class AppError : public std::runtime_error
{
public:
    enum Number {
        InvalidProcedureCall = 5,
        SubscriptOutOfRange = 9,
        TypeMismatch = 13,
        PathFileAccessError = 75,
    };

    // The catalogue's description of number, followed by detail after ": " when there is one.
    explicit AppError(Number number, const QString &detail = QString());
    // A failure with a description of its own (a store's own reason, a test's made-up fault).
    AppError(int number, const QString &description);

    // The catalogue's description of a number; empty for a number it does not hold.
    static QString describe(int number);

    int number() const { return m_number; }
    QString description() const { return m_description; }
    // "<number> <description>", as a failure at the start of a window shows it.
    QString text() const;
    // "Error <number> <description>", as a failure inside a handler shows it.
    QString errorText() const;

private:
    int m_number;
    QString m_description;
};
