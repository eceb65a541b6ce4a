<?php
// What the score server accepts from players, and its plain-text answers.

const NAME_MAX_CHARACTERS = 32;
const PASSWORD_MIN_CHARACTERS = 4;
const PASSWORD_MAX_BYTES = 72;      // the hash looks at no more than this
const SCORE_LIMIT_SECONDS = 86400;  // a run of a day or more is no run

// PHP's development server in quiet mode drops its error lines (its request
// log would hold the passwords the game sends in URLs): unless the host names
// an error log, they go to data/errors.log. Other servers log where their
// configuration says (server/deploy for PHP-FPM). Never shown in an answer.
function keepErrors(): void
{
    ini_set('display_errors', '0');
    ini_set('log_errors', '1');
    if (PHP_SAPI === 'cli-server' && (string)ini_get('error_log') === '') {
        ini_set('error_log', dirname(__DIR__) . '/data/errors.log');
    }
}

// Sends a short text as the whole answer and ends the request.
function answer(int $status, string $text, array $headers = []): void
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=utf-8');
    header('Cache-Control: no-store');
    foreach ($headers as $header) {
        header($header);
    }
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

// Characters that look like nothing or like a plain space, or that reorder
// what follows: format and private-use characters, and every separator but
// the space itself.
function hasInvisibleCharacters(string $utf8): bool
{
    return preg_match('/\p{Cf}|\p{Co}|(?! )\p{Z}/u', $utf8) === 1;
}

// Full case folding (ß and SS, ΐ and its three characters), built from what
// intl offers: its folding of one character is the simple one, so a character
// whose upper or lower case is longer than itself is folded as the lower case
// of its upper case.
function caseFolded(string $utf8): string
{
    static $upper = null, $lower = null;
    $upper ??= Transliterator::create('Any-Upper');
    $lower ??= Transliterator::create('Any-Lower');
    $folded = '';
    foreach (preg_split('//u', $utf8, -1, PREG_SPLIT_NO_EMPTY) as $character) {
        $simple = IntlChar::chr(IntlChar::foldCase(IntlChar::ord($character)));
        $upperCase = $upper->transliterate($simple);
        $grows = characterCount($upperCase) > 1 || characterCount($lower->transliterate($simple)) > 1;
        $folded .= $grows ? $lower->transliterate($upperCase) : $simple;
    }
    return $folded;
}

// What two names are compared by: one player per name, whatever its upper and
// lower case and however Unicode composes its accents.
function nameKey(string $utf8): string
{
    return Normalizer::normalize(caseFolded(Normalizer::normalize($utf8, Normalizer::FORM_D)), Normalizer::FORM_C);
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
    if (hasInvisibleCharacters($name)) {
        return 'the user name may not hold invisible characters (zero-width, no-break or other special spaces, '
            . 'text direction marks): letters, digits, signs and plain spaces only';
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

// "try again in 7 minutes" for a wait in seconds, never less than a minute.
function waitText(int $seconds): string
{
    $minutes = max(1, (int)ceil($seconds / 60));
    return 'try again in ' . $minutes . ($minutes === 1 ? ' minute' : ' minutes');
}
