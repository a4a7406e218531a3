#pragma once
// The tables of the address book and history, as the steps that bring a
// database from one schema version to the next, on either engine. A step once
// released never changes; a new version is a new step at the end.
#include <span>

namespace storage {

enum class Engine { Sqlite, Postgres };

struct SchemaStep {
    int toVersion;
    std::span<const char* const> statements;
    // The same step on a PostgreSQL server where its statements differ there
    // (types, indexes); empty: `statements` serve both.
    std::span<const char* const> postgresStatements = {};

    std::span<const char* const> statementsFor(Engine engine) const
    {
        return engine == Engine::Postgres && !postgresStatements.empty() ? postgresStatements : statements;
    }
};

std::span<const SchemaStep> schemaSteps();

} // namespace storage
