#include "SectionTexts.h"

#include "AppError.h"

QString SectionTexts::value(const QString &, const QString &key, const QString &defaultValue) const
{
    return m_values.value(key, defaultValue);
}

void SectionTexts::replaceSection(const QString &, const KeyValues &)
{
    throw AppError(AppError::InvalidProcedureCall, QStringLiteral("a read-only section"));
}
