<?php
// What the score server accepts from players, and its plain-text answers.

const NAME_MAX_CHARACTERS = 32;
const PASSWORD_MIN_CHARACTERS = 4;
const PASSWORD_MAX_BYTES = 72;      // the hash looks at no more than this
const SCORE_LIMIT_SECONDS = 86400;  // a run of a day or more is no run

// Sends a short text as the whole answer and ends the request.
function answer(int $status, string $text): void
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=utf-8');
    header('Cache-Control: no-store');
    echo $text;
    exit;
}

// Browsers send UTF-8, while the game types single bytes in Latin-1: a name
// typed with an accent in either place must be the same name, so bytes that
// are not UTF-8 are read as Latin-1.
function asUtf8(string $text): string
{
    if (preg_match('//u', $text) === 1) {
        return $text;
    }
    return iconv('ISO-8859-1', 'UTF-8', $text);
}

function characterCount(string $utf8): int
{
    return preg_match_all('/./us', $utf8);
}

function hasControlCharacters(string $utf8): bool
{
    return preg_match('/\p{Cc}/u', $utf8) === 1;
}

// Why a user name cannot be signed up, or null when it can.
function nameProblem(string $name): ?string
{
    $count = characterCount($name);
    if ($count < 1 || $count > NAME_MAX_CHARACTERS) {
        return 'the user name must be 1 to ' . NAME_MAX_CHARACTERS . ' characters long';
    }
    if (hasControlCharacters($name)) {
        return 'the user name may hold printable characters only';
    }
    if (trim($name) !== $name) {
        return 'the user name may not begin or end with a space';
    }
    return null;
}

// Why a password cannot be chosen, or null when it can.
function passwordProblem(string $password): ?string
{
    if (characterCount($password) < PASSWORD_MIN_CHARACTERS) {
        return 'the password must be at least ' . PASSWORD_MIN_CHARACTERS . ' characters long';
    }
    if (strlen($password) > PASSWORD_MAX_BYTES) {
        return 'the password may be at most ' . PASSWORD_MAX_BYTES . ' bytes long';
    }
    if (hasControlCharacters($password)) {
        return 'the password may hold printable characters only';
    }
    return null;
}

// The finish time in seconds, as the game writes it ("12.345", "9"), or null
// for anything else: signs, exponents, words and times of a day or more.
function scoreSeconds(string $text): ?float
{
    if (preg_match('/^[0-9]{1,6}(\.[0-9]{1,6})?$/D', $text) !== 1) {
        return null;
    }
    $seconds = (float)$text;
    return $seconds > 0 && $seconds < SCORE_LIMIT_SECONDS ? $seconds : null;
}

// A query value that must be there and be text (never an array).
function requiredText(array $values, string $key): ?string
{
    $value = $values[$key] ?? null;
    return is_string($value) ? $value : null;
}
