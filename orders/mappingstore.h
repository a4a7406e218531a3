#pragma once
// Remembers the columns the user assigned for a heading row, so that the next
// list with the same headings opens ready to print.
#include "orders/columns.h"

class QSettings;

namespace orders {

class MappingStore {
public:
    virtual ~MappingStore() = default;
    // The assignment remembered under `key` (see headerKey()), if any.
    virtual std::optional<ColumnMap> recall(const QString& key) const = 0;
    virtual void remember(const QString& key, const ColumnMap& map) = 0;
};

// Keeps assignments in the program's settings, one entry per heading row
// under the group "orderColumns", each a list of field words.
class SettingsMappingStore final : public MappingStore {
public:
    explicit SettingsMappingStore(QSettings& settings) : m_settings(settings) {}
    std::optional<ColumnMap> recall(const QString& key) const override;
    void remember(const QString& key, const ColumnMap& map) override;

private:
    QSettings& m_settings;
};

} // namespace orders
