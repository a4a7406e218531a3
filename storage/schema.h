#pragma once
// The tables of the address book and history, as the steps that bring a
// database from one schema version to the next, on either engine. A step once
// released never changes; a new version is a new step at the end.
#include <QStringList>
#include <span>

namespace storage {

enum class Engine { Sqlite, Postgres };

// The engines a statement of a step is for.
enum class On { Both, Sqlite, Postgres };

struct SchemaStatement {
    On on;
    // Where the engines' types differ it names them by the words of
    // storage/schema.cpp's kTypeWords ({row_id}, {time_ms}, {real}).
    const char* sql;
};

struct SchemaStep {
    int toVersion;
    std::span<const SchemaStatement> statements;

    // The step's statements for one engine, in order, with its own types.
    QStringList statementsFor(Engine engine) const;
};

std::span<const SchemaStep> schemaSteps();

// The schema this program writes; a database with a higher number is refused.
int currentSchemaVersion();

} // namespace storage
