#include "core/rules/AppError.h"

AppError::AppError(Number number, const QString &detail)
    : AppError(int(number), detail.isEmpty() ? describe(number)
                                             : describe(number) + QStringLiteral(": ") + detail)
{}

AppError::AppError(int number, const QString &description)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
{}

QString AppError::describe(int number)
{
    switch (number) {
    case InvalidProcedureCall:
        return QStringLiteral("Invalid procedure call or argument");
    case SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case TypeMismatch:
        return QStringLiteral("Type mismatch");
    case PathFileAccessError:
        return QStringLiteral("Path/File access error");
    default:
        return QString();
    }
}

QString AppError::text() const
{
    return QString::number(m_number) + QLatin1Char(' ') + m_description;
}

QString AppError::errorText() const
{
    return QStringLiteral("Error ") + text();
}
