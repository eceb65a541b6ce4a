<?php
// The store of players and their reported times: one SQLite file, outside the
// served folder, made on first use. Every statement is prepared; every change
// is one short transaction, so parallel requests wait for each other instead
// of failing.

const SCHEMA_VERSION = 1;
const BUSY_TIMEOUT_SECONDS = 10;

function databasePath(): string
{
    $configured = getenv('STOMPATHON_SCORES_DB');
    return is_string($configured) && $configured !== '' ? $configured : dirname(__DIR__) . '/data/scores.sqlite';
}

// The open store, or null when it cannot be opened (logged for the host).
function openScores(): ?PDO
{
    $path = databasePath();
    try {
        $folder = dirname($path);
        if (!is_dir($folder) && !mkdir($folder, 0700, true) && !is_dir($folder)) {
            throw new RuntimeException("cannot make $folder");
        }
        $db = new PDO('sqlite:' . $path, null, null, [
            PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION,
            PDO::ATTR_TIMEOUT => BUSY_TIMEOUT_SECONDS,
            PDO::ATTR_DEFAULT_FETCH_MODE => PDO::FETCH_ASSOC,
        ]);
        if ((int)$db->query('PRAGMA user_version')->fetchColumn() !== SCHEMA_VERSION) {
            createSchema($db);
        }
        return $db;
    } catch (Throwable $e) {
        error_log('score store ' . $path . ': ' . $e->getMessage());
        return null;
    }
}

function createSchema(PDO $db): void
{
    // Readers never wait for a writer in write-ahead mode.
    $db->exec('PRAGMA journal_mode = WAL');
    inTransaction($db, function (PDO $db) {
        if ((int)$db->query('PRAGMA user_version')->fetchColumn() === SCHEMA_VERSION) {
            return;     // another request made it first
        }
        $db->exec('CREATE TABLE IF NOT EXISTS players (
            id INTEGER PRIMARY KEY,
            name TEXT NOT NULL UNIQUE COLLATE NOCASE,
            password_hash TEXT NOT NULL,
            signed_up_at TEXT NOT NULL)');
        $db->exec('CREATE TABLE IF NOT EXISTS reports (
            id INTEGER PRIMARY KEY,
            player_id INTEGER NOT NULL REFERENCES players(id),
            seconds REAL NOT NULL,
            reported_at TEXT NOT NULL)');
        $db->exec('CREATE INDEX IF NOT EXISTS reports_by_player ON reports(player_id, seconds)');
        $db->exec('PRAGMA user_version = ' . SCHEMA_VERSION);
    });
}

// Runs $work inside one transaction that holds the write lock from its start,
// so two writers never deadlock upgrading their locks; rolled back on failure.
function inTransaction(PDO $db, callable $work)
{
    $db->exec('BEGIN IMMEDIATE');
    try {
        $result = $work($db);
        $db->exec('COMMIT');
        return $result;
    } catch (Throwable $e) {
        $db->exec('ROLLBACK');
        throw $e;
    }
}

function now(): string
{
    return gmdate('Y-m-d H:i:s');
}

// False when the name is taken, whatever its upper and lower case.
function addPlayer(PDO $db, string $name, string $password): bool
{
    $hash = password_hash($password, PASSWORD_DEFAULT);
    return inTransaction($db, function (PDO $db) use ($name, $hash) {
        $taken = $db->prepare('SELECT 1 FROM players WHERE name = ?');
        $taken->execute([$name]);
        if ($taken->fetchColumn() !== false) {
            return false;
        }
        $insert = $db->prepare('INSERT INTO players (name, password_hash, signed_up_at) VALUES (?, ?, ?)');
        $insert->execute([$name, $hash, now()]);
        return true;
    });
}

// The player's id when the name and password belong together, else null.
function playerWith(PDO $db, string $name, string $password): ?int
{
    if (strlen($password) > PASSWORD_MAX_BYTES) {
        return null;    // the hash would look at its beginning only
    }
    $query = $db->prepare('SELECT id, password_hash FROM players WHERE name = ?');
    $query->execute([$name]);
    $player = $query->fetch();
    if ($player === false || !password_verify($password, $player['password_hash'])) {
        return null;
    }
    return (int)$player['id'];
}

function addReport(PDO $db, int $playerId, float $seconds): void
{
    inTransaction($db, function (PDO $db) use ($playerId, $seconds) {
        $insert = $db->prepare('INSERT INTO reports (player_id, seconds, reported_at) VALUES (?, ?, ?)');
        $insert->execute([$playerId, $seconds, now()]);
    });
}

// Each player's fastest time and when it was run, fastest first; the earlier
// run wins a tie.
function bestTimes(PDO $db, int $limit): array
{
    $query = $db->prepare('SELECT name, seconds, reported_at FROM (
            SELECT players.name, reports.seconds, reports.reported_at,
                   ROW_NUMBER() OVER (PARTITION BY reports.player_id
                                      ORDER BY reports.seconds, reports.id) AS place
            FROM reports JOIN players ON players.id = reports.player_id)
        WHERE place = 1 ORDER BY seconds, reported_at LIMIT ?');
    $query->execute([$limit]);
    return $query->fetchAll();
}

// The newest reports, newest first.
function latestReports(PDO $db, int $limit): array
{
    $query = $db->prepare('SELECT players.name, reports.seconds, reports.reported_at
        FROM reports JOIN players ON players.id = reports.player_id
        ORDER BY reports.id DESC LIMIT ?');
    $query->execute([$limit]);
    return $query->fetchAll();
}
