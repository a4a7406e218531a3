#include "orders/mappingstore.h"

#include <QSettings>

namespace orders {

namespace {

QString settingsKey(const QString& key) { return QStringLiteral("orderColumns/") + key; }

} // namespace

std::optional<ColumnMap> SettingsMappingStore::recall(const QString& key) const
{
    const QVariant value = m_settings.value(settingsKey(key));
    if (!value.isValid())
        return std::nullopt;
    ColumnMap map;
    for (const QString& word : value.toStringList()) {
        const std::optional<Field> field = fieldOfWord(word);
        if (!field)
            return std::nullopt; // written by a newer program, or damaged
        map << *field;
    }
    return map;
}

void SettingsMappingStore::remember(const QString& key, const ColumnMap& map)
{
    QStringList words;
    for (Field field : map)
        words << fieldWord(field);
    m_settings.setValue(settingsKey(key), words);
}

} // namespace orders
