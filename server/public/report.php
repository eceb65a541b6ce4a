<?php
// The game's two requests, both GET:
//   report.php?action=auth&username=U&password=P
//     answers exactly "1" when U and P belong together, "0" otherwise;
//   report.php?action=report&username=U&password=P&score=S
//     records S seconds for U and answers a line the game prints.
// Requests that cannot be understood get a 4xx status and a plain message, and
// change nothing.
require __DIR__ . '/../lib/input.php';
require __DIR__ . '/../lib/scores.php';

if ($_SERVER['REQUEST_METHOD'] !== 'GET' && $_SERVER['REQUEST_METHOD'] !== 'HEAD') {
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
    $problem = nameProblem($name);
    if ($problem !== null) {
        answer(400, $problem);
    }
}

$db = openScores();
if ($db === null) {
    answer(503, 'the score store is not available, try again later');
}
try {
    $playerId = playerWith($db, $name, $password);
    if ($action === 'auth') {
        answer(200, $playerId === null ? '0' : '1');
    }
    if ($playerId === null) {
        answer(403, 'wrong user name or password: time not recorded');
    }
    addReport($db, $playerId, $seconds);
} catch (PDOException $e) {
    error_log('report.php: ' . $e->getMessage());
    answer(503, 'the score store is busy, try again later');
}
answer(200, 'time recorded: ' . $score . ' s for ' . $name);
