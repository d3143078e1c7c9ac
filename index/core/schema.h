// The index's tables, the same in SQLite and PostgreSQL: roots, their day folders (with what a
// refresh needs to skip them), and one row per recording with its matching forms (the number's
// digits, the bookmark's words) beside the texts the list shows. An SQLite index whose schema
// version differs is rebuilt from the files; a shared PostgreSQL index of the version before is
// upgraded in place (kPostgresUpgrade), any other one is left to its administrator.
#pragma once

namespace pell {

inline constexpr int kIndexSchemaVersion = 2;

// The columns every search and Find read, in this order, and the join they come from.
inline constexpr const char* kCallColumns =
    "c.id, r.path, c.folder, c.name, c.readable, c.times_known, c.start_time, c.duration, c.line, c.number, "
    "c.direction, c.bookmark, c.played, c.protected, c.size, c.mtime_ns, c.ctime_ns, c.inode, c.content_key, "
    "c.audio_sha256";
inline constexpr const char* kCallFrom = " FROM calls c JOIN roots r ON r.id = c.root_id";

// SQLite: FTS5 over the digits (trigram, so any three digits find their calls) and the words,
// both external-content tables kept by triggers.
inline constexpr const char* kSqliteSchema = R"SQL(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS roots(id INTEGER PRIMARY KEY, path TEXT NOT NULL UNIQUE);
CREATE TABLE IF NOT EXISTS folders(
  id INTEGER PRIMARY KEY,
  root_id INTEGER NOT NULL REFERENCES roots(id) ON DELETE CASCADE,
  name TEXT NOT NULL,
  complete INTEGER NOT NULL DEFAULT 0,
  mtime_ns INTEGER NOT NULL DEFAULT 0,
  settled INTEGER NOT NULL DEFAULT 0,
  verified_at INTEGER NOT NULL DEFAULT 0,
  file_count INTEGER NOT NULL DEFAULT 0,
  UNIQUE(root_id, name));
CREATE TABLE IF NOT EXISTS calls(
  id INTEGER PRIMARY KEY,
  root_id INTEGER NOT NULL,
  folder_id INTEGER NOT NULL REFERENCES folders(id) ON DELETE CASCADE,
  folder TEXT NOT NULL,
  name TEXT NOT NULL,
  readable INTEGER NOT NULL,
  times_known INTEGER NOT NULL,
  start_time INTEGER NOT NULL,
  end_time INTEGER NOT NULL,
  duration INTEGER NOT NULL,
  line TEXT NOT NULL,
  number TEXT NOT NULL,
  digits TEXT NOT NULL,
  direction INTEGER NOT NULL,
  bookmark TEXT NOT NULL,
  words TEXT NOT NULL,
  played INTEGER NOT NULL,
  protected INTEGER NOT NULL,
  size INTEGER NOT NULL,
  mtime_ns INTEGER NOT NULL,
  ctime_ns INTEGER NOT NULL,
  inode INTEGER NOT NULL,
  content_key TEXT NOT NULL,
  audio_sha256 TEXT NOT NULL DEFAULT '',
  UNIQUE(folder_id, name));
CREATE INDEX IF NOT EXISTS calls_start ON calls(start_time);
CREATE VIRTUAL TABLE IF NOT EXISTS call_digits
  USING fts5(digits, content='calls', content_rowid='id', tokenize='trigram');
CREATE VIRTUAL TABLE IF NOT EXISTS call_words
  USING fts5(words, content='calls', content_rowid='id', tokenize='unicode61 remove_diacritics 0');
CREATE TRIGGER IF NOT EXISTS calls_added AFTER INSERT ON calls BEGIN
  INSERT INTO call_digits(rowid, digits) VALUES (new.id, new.digits);
  INSERT INTO call_words(rowid, words) VALUES (new.id, new.words);
END;
CREATE TRIGGER IF NOT EXISTS calls_removed AFTER DELETE ON calls BEGIN
  INSERT INTO call_digits(call_digits, rowid, digits) VALUES ('delete', old.id, old.digits);
  INSERT INTO call_words(call_words, rowid, words) VALUES ('delete', old.id, old.words);
END;
CREATE TRIGGER IF NOT EXISTS calls_digits_changed AFTER UPDATE OF digits ON calls
  WHEN old.digits IS NOT new.digits BEGIN
  INSERT INTO call_digits(call_digits, rowid, digits) VALUES ('delete', old.id, old.digits);
  INSERT INTO call_digits(rowid, digits) VALUES (new.id, new.digits);
END;
CREATE TRIGGER IF NOT EXISTS calls_words_changed AFTER UPDATE OF words ON calls
  WHEN old.words IS NOT new.words BEGIN
  INSERT INTO call_words(call_words, rowid, words) VALUES ('delete', old.id, old.words);
  INSERT INTO call_words(rowid, words) VALUES (new.id, new.words);
END;
)SQL";

// PostgreSQL: pg_trgm over the digits and a text-search vector over the words.
inline constexpr const char* kPostgresSchema = R"SQL(
CREATE EXTENSION IF NOT EXISTS pg_trgm;
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS roots(id BIGSERIAL PRIMARY KEY, path TEXT NOT NULL UNIQUE);
CREATE TABLE IF NOT EXISTS folders(
  id BIGSERIAL PRIMARY KEY,
  root_id BIGINT NOT NULL REFERENCES roots(id) ON DELETE CASCADE,
  name TEXT NOT NULL,
  complete BOOLEAN NOT NULL DEFAULT FALSE,
  mtime_ns BIGINT NOT NULL DEFAULT 0,
  settled BOOLEAN NOT NULL DEFAULT FALSE,
  verified_at BIGINT NOT NULL DEFAULT 0,
  file_count BIGINT NOT NULL DEFAULT 0,
  UNIQUE(root_id, name));
CREATE TABLE IF NOT EXISTS calls(
  id BIGSERIAL PRIMARY KEY,
  root_id BIGINT NOT NULL,
  folder_id BIGINT NOT NULL REFERENCES folders(id) ON DELETE CASCADE,
  folder TEXT NOT NULL,
  name TEXT NOT NULL,
  readable BOOLEAN NOT NULL,
  times_known BOOLEAN NOT NULL,
  start_time BIGINT NOT NULL,
  end_time BIGINT NOT NULL,
  duration BIGINT NOT NULL,
  line TEXT NOT NULL,
  number TEXT NOT NULL,
  digits TEXT NOT NULL,
  direction SMALLINT NOT NULL,
  bookmark TEXT NOT NULL,
  words TEXT NOT NULL,
  played BOOLEAN NOT NULL,
  protected BOOLEAN NOT NULL,
  size BIGINT NOT NULL,
  mtime_ns BIGINT NOT NULL,
  ctime_ns BIGINT NOT NULL,
  inode BIGINT NOT NULL,
  content_key TEXT NOT NULL,
  audio_sha256 TEXT NOT NULL DEFAULT '',
  word_vector TSVECTOR GENERATED ALWAYS AS (to_tsvector('simple', words)) STORED,
  UNIQUE(folder_id, name));
CREATE INDEX IF NOT EXISTS calls_start ON calls(start_time, id);
CREATE INDEX IF NOT EXISTS calls_digits ON calls USING gin (digits gin_trgm_ops);
CREATE INDEX IF NOT EXISTS calls_words ON calls USING gin (word_vector);
)SQL";

// PostgreSQL from version 1: the audio hash column, and every day folder marked for a scan so the
// next refresh fills it from the manifests (reading each recording's head and tag once more).
inline constexpr int kPostgresUpgradableVersion = 1;
inline constexpr const char* kPostgresUpgrade = R"SQL(
ALTER TABLE calls ADD COLUMN IF NOT EXISTS audio_sha256 TEXT NOT NULL DEFAULT '';
UPDATE folders SET complete = FALSE;
)SQL";

}  // namespace pell
