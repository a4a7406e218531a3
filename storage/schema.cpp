#include "storage/schema.h"

namespace storage {

namespace {

// Version 1: the address book and the print history.
//
// Addresses are found as the user types through search_text: the searchKey
// of name, telephone, postal code, address lines and care-of line, each
// followed by a separator and the whole by a second one, so every character
// of a key starts a trigram. A search first scans address_entry_recent, which
// holds search_text itself, newest first and stops as soon as enough are
// found; for rarer texts keys of three or more characters go through the
// trigram index, and keys of one or two through the trigrams that begin with
// them (address_entry_trigram_terms lists the index's trigrams in order).
constexpr const char* kVersion1[] = {
    R"(CREATE TABLE address_entry (
        id INTEGER PRIMARY KEY,
        kind INTEGER NOT NULL CHECK (kind IN (0, 1)),  -- 0 recipient, 1 sender
        postal_code TEXT NOT NULL,
        line1 TEXT NOT NULL,
        line2 TEXT NOT NULL,
        name TEXT NOT NULL,
        care_of TEXT NOT NULL,
        care_of_shown INTEGER NOT NULL,
        telephone TEXT NOT NULL,
        last_used_ms INTEGER NOT NULL,  -- milliseconds since 1970 UTC
        search_text TEXT NOT NULL
    ))",
    // Finds the twin of an entry being saved.
    "CREATE INDEX address_entry_same ON address_entry (kind, name, postal_code)",
    "CREATE INDEX address_entry_recent ON address_entry (kind, last_used_ms, id, search_text)",
    R"(CREATE VIRTUAL TABLE address_entry_trigrams USING fts5 (
        search_text, content='address_entry', content_rowid='id', tokenize='trigram case_sensitive 1'
    ))",
    "CREATE VIRTUAL TABLE address_entry_trigram_terms USING fts5vocab (address_entry_trigrams, 'row')",
    R"(CREATE TRIGGER address_entry_added AFTER INSERT ON address_entry BEGIN
        INSERT INTO address_entry_trigrams (rowid, search_text) VALUES (new.id, new.search_text);
    END)",
    R"(CREATE TRIGGER address_entry_removed AFTER DELETE ON address_entry BEGIN
        INSERT INTO address_entry_trigrams (address_entry_trigrams, rowid, search_text)
            VALUES ('delete', old.id, old.search_text);
    END)",
    R"(CREATE TRIGGER address_entry_changed AFTER UPDATE OF search_text ON address_entry BEGIN
        INSERT INTO address_entry_trigrams (address_entry_trigrams, rowid, search_text)
            VALUES ('delete', old.id, old.search_text);
        INSERT INTO address_entry_trigrams (rowid, search_text) VALUES (new.id, new.search_text);
    END)",
    // One row per printed waybill. The *_key columns hold the searchKey of
    // both blocks' fields, joined, for searching by name, telephone, postal
    // code and address.
    R"(CREATE TABLE print_history (
        id INTEGER PRIMARY KEY,
        printed_at_ms INTEGER NOT NULL,  -- milliseconds since 1970 UTC
        destination TEXT NOT NULL,       -- printer queue or PDF file
        offset_x_tenth_mm REAL NOT NULL,
        offset_y_tenth_mm REAL NOT NULL,
        order_number TEXT,               -- NULL when none was given
        waybill_json TEXT NOT NULL,
        names_key TEXT NOT NULL,
        telephones_key TEXT NOT NULL,
        postal_codes_key TEXT NOT NULL,
        addresses_key TEXT NOT NULL,
        order_number_key TEXT NOT NULL
    ))",
    // Newest first, holding the keys: a search reads the index alone and
    // fetches the row with its waybill only for a match.
    R"(CREATE INDEX print_history_printed ON print_history (
        printed_at_ms, id, names_key, telephones_key, postal_codes_key, addresses_key, order_number_key
    ))",
};

// Version 2: the reading (フリガナ) of an address-book entry, searched with
// the rest: entries saved before have none, and their search_text is as
// good as it was.
constexpr const char* kVersion2[] = {
    "ALTER TABLE address_entry ADD COLUMN reading TEXT NOT NULL DEFAULT ''",
};

// Version 3: the tracking number pre-printed on each form. A printed page
// records its form's number (NULL when the form carried none the program
// knew, e.g. a PDF) and the carrier's command-line word; a form torn or
// misprinted before use is a row of spoiled_form. Numbers are kept as
// digits only, so a number typed with or without hyphens finds its page.
constexpr const char* kVersion3[] = {
    "ALTER TABLE print_history ADD COLUMN tracking_number TEXT",
    "ALTER TABLE print_history ADD COLUMN carrier TEXT",
    "CREATE INDEX print_history_tracking ON print_history (tracking_number)",
    R"(CREATE TABLE spoiled_form (
        id INTEGER PRIMARY KEY,
        spoiled_at_ms INTEGER NOT NULL,  -- milliseconds since 1970 UTC
        destination TEXT NOT NULL,       -- the printer queue the form was in
        carrier TEXT NOT NULL,
        tracking_number TEXT NOT NULL
    ))",
    "CREATE INDEX spoiled_form_spoiled ON spoiled_form (spoiled_at_ms)",
    "CREATE INDEX spoiled_form_tracking ON spoiled_form (tracking_number)",
};

constexpr SchemaStep kSchemaSteps[] = {
    {1, kVersion1},
    {2, kVersion2},
    {3, kVersion3},
};

} // namespace

std::span<const SchemaStep> schemaSteps() { return kSchemaSteps; }

} // namespace storage
