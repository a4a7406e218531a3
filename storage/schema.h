#pragma once
// The tables of the database file, as the steps that bring a file from one
// schema version to the next. A step once released never changes; a new
// version is a new step at the end.
#include <span>

namespace storage {

struct SchemaStep {
    int toVersion;
    std::span<const char* const> statements;
};

std::span<const SchemaStep> schemaSteps();

} // namespace storage
