<?php
// The game's two requests, both GET:
//   report.php?action=auth&username=U&password=P
//     answers exactly "1" when U and P belong together, "0" otherwise;
//   report.php?action=report&username=U&password=P&score=S
//     records S seconds for U and answers a line the game prints.
// After too many wrong passwords for a name, both answer 429 with the reason
// until its window ends. Requests that cannot be understood get a 4xx status
// and a plain message, and change nothing; so does HEAD, which only GET's
// headers answer.
require __DIR__ . '/../lib/input.php';
require __DIR__ . '/../lib/scores.php';

keepErrors();
$method = $_SERVER['REQUEST_METHOD'];
if ($method === 'HEAD') {
    answer(200, '');
}
if ($method !== 'GET') {
    header('Allow: GET, HEAD');
    answer(405, 'only GET requests are answered here');
}

$action = requiredText($_GET, 'action');
if ($action !== 'auth' && $action !== 'report') {
    answer(400, 'unknown action: use action=auth or action=report');
}
$name = requiredText($_GET, 'username');
$password = requiredText($_GET, 'password');
if ($name === null || $password === null) {
    answer(400, 'missing username or password');
}
$name = asUtf8($name);
$password = asUtf8($password);

if ($action === 'report') {
    $score = requiredText($_GET, 'score');
    if ($score === null) {
        answer(400, 'missing score');
    }
    $seconds = scoreSeconds($score);
    if ($seconds === null) {
        answer(400, 'the score must be a time in seconds above 0 and below ' . SCORE_LIMIT_SECONDS);
    }
}
// The password hash would stop reading at a NUL: "secret\0junk" is no "secret".
if (str_contains($name, "\0") || str_contains($password, "\0")) {
    answer(400, 'the user name and the password may not hold a NUL character');
}
if (characterCount($name) > NAME_MAX_CHARACTERS) {
    answer(400, 'the user name may be at most ' . NAME_MAX_CHARACTERS . ' characters long');
}

$db = openScores();
if ($db === null) {
    answer(503, 'the score store is not available, try again later');
}
try {
    $wait = 0;
    $player = playerWith($db, $name, $password, $wait);
    if ($wait > 0) {
        answer(429, 'too many wrong passwords for this user name: ' . waitText($wait), ['Retry-After: ' . $wait]);
    }
    if ($action === 'auth') {
        answer(200, $player === null ? '0' : '1');
    }
    if ($player === null) {
        answer(403, 'wrong user name or password: time not recorded');
    }
    addReport($db, $player['id'], $seconds);
} catch (PDOException $e) {
    error_log('report.php: ' . $e->getMessage());
    answer(503, 'the score store is busy, try again later');
}
answer(200, 'time recorded: ' . $score . ' s for ' . $player['name']);
