<?php
// The score server's home page: the sign-up form and the leaderboard.
// GET shows the page; POST signs a player up and shows the page with the
// outcome (201 when signed up; 400, 409 or 429, after too many sign-ups from
// one address, with the reason when not).
require __DIR__ . '/../lib/input.php';
require __DIR__ . '/../lib/scores.php';

const BEST_TIMES_SHOWN = 100;
const LATEST_REPORTS_SHOWN = 20;

function html(string $text): string
{
    return htmlspecialchars($text, ENT_QUOTES | ENT_SUBSTITUTE, 'UTF-8');
}

function secondsText(float $seconds): string
{
    return number_format($seconds, 3, '.', '') . ' s';
}

// Day and time each kept on one line, so a narrow table breaks between them.
function dateText(string $utc): string
{
    return '<span>' . html(substr($utc, 0, 10)) . '</span> <span>' . html(substr($utc, 11, 5)) . ' UTC</span>';
}

// A table of runs (player, time, date), numbered by place when ranked.
function printRuns(string $id, array $runs, bool $ranked, string $noneText): void
{
    if ($runs === []) {
        echo '    <p>', html($noneText), "</p>\n";
        return;
    }
    echo '    <table id="', $id, '">', "\n", '      <thead><tr>';
    echo $ranked ? '<th class="number">#</th>' : '';
    echo '<th>Player</th><th class="number">Time</th><th>Date</th></tr></thead>', "\n      <tbody>\n";
    foreach ($runs as $index => $run) {
        echo '        <tr>', $ranked ? '<td class="number">' . ($index + 1) . '</td>' : '';
        echo '<td class="player">', html($run['name']), '</td>';
        echo '<td class="number">', secondsText((float)$run['seconds']), '</td>';
        echo '<td>', dateText($run['reported_at']), "</td></tr>\n";
    }
    echo "      </tbody>\n    </table>\n";
}

// Signs up the posted player; returns the HTTP status and the message to show.
function signUp(?PDO $db, array $form): array
{
    $name = requiredText($form, 'username');
    $password = requiredText($form, 'password');
    $again = requiredText($form, 'password2');
    if ($name === null || $password === null || $again === null) {
        return [400, 'Please fill in the user name and the password twice.'];
    }
    $name = asUtf8($name);
    $password = asUtf8($password);
    $problem = nameProblem($name) ?? passwordProblem($password);
    if ($problem !== null) {
        return [400, 'Not signed up: ' . $problem . '.'];
    }
    if ($password !== asUtf8($again)) {
        return [400, 'Not signed up: the two passwords differ.'];
    }
    if ($db === null) {
        return [503, 'Not signed up: the score store is not available, try again later.'];
    }
    $wait = 0;
    if (!mayAddPlayer($db, $_SERVER['REMOTE_ADDR'] ?? '', $wait)) {
        return [429, 'Not signed up: too many sign-ups from your address, ' . waitText($wait) . '.'];
    }
    if (!addPlayer($db, $name, $password)) {
        return [409, 'Not signed up: the user name "' . $name . '" is taken.'];
    }
    return [201, 'Welcome, ' . $name . '! Choose Compete in the game and log in to race for the board.'];
}

keepErrors();
$method = $_SERVER['REQUEST_METHOD'];
if ($method !== 'GET' && $method !== 'HEAD' && $method !== 'POST') {
    header('Allow: GET, HEAD, POST');
    answer(405, 'only GET and POST requests are answered here');
}

$db = openScores();
$status = $db === null ? 503 : 200;
$message = $db === null ? 'The score store is not available, try again later.' : null;
$typedName = '';
try {
    if ($method === 'POST') {
        [$status, $message] = signUp($db, $_POST);
        $typedName = $status === 201 ? '' : asUtf8(requiredText($_POST, 'username') ?? '');
    }
    $best = $db === null ? [] : bestTimes($db, BEST_TIMES_SHOWN);
    $latest = $db === null ? [] : latestReports($db, LATEST_REPORTS_SHOWN);
} catch (PDOException $e) {
    error_log('index.php: ' . $e->getMessage());
    [$status, $message, $best, $latest] = [503, 'The score store is busy, try again later.', [], []];
}

http_response_code($status);
header('Content-Type: text/html; charset=utf-8');
header('Cache-Control: no-store');
?>
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Stompathon scores</title>
<style>
  body { margin: 0; font: 16px/1.4 sans-serif; background: #f4f1ea; color: #1f1f1f; }
  header { background: #b3261e; color: #fff; padding: 1rem; }
  header h1 { margin: 0; font-size: 1.6rem; }
  main { max-width: 52rem; margin: 0 auto; padding: 1rem; display: grid; gap: 1.5rem; }
  section { background: #fff; border-radius: 0.5rem; padding: 1rem; overflow-x: auto; }
  h2 { margin-top: 0; font-size: 1.2rem; }
  table { border-collapse: collapse; width: 100%; }
  th { background: #1b3a6b; color: #fff; text-align: left; }
  th, td { padding: 0.4rem 0.6rem; }
  td { overflow-wrap: anywhere; }
  td span { white-space: nowrap; }
  tbody tr:nth-child(even) { background: #eef1f6; }
  .number { text-align: right; white-space: nowrap; }
  form { display: grid; gap: 0.6rem; max-width: 22rem; }
  label { display: grid; gap: 0.2rem; }
  input { font: inherit; padding: 0.4rem; }
  button { font: inherit; padding: 0.5rem; background: #b3261e; color: #fff; border: 0; border-radius: 0.3rem; }
  .message { padding: 0.6rem; border-radius: 0.3rem; background: #fde7c8; overflow-wrap: anywhere; }
  .message.welcome { background: #d6f0d0; }
</style>
</head>
<body>
<header><h1>Stompathon: 100 Decimeter</h1></header>
<main>
<?php if ($message !== null): ?>
  <p id="message" class="message<?= $status === 201 ? ' welcome' : '' ?>"><?= html($message) ?></p>
<?php endif; ?>
  <section>
    <h2>Sign up</h2>
    <form id="signup" method="post" action="">
      <label>User name <input id="username" name="username" maxlength="32" required value="<?= html($typedName) ?>"></label>
      <label>Password <input id="password" name="password" type="password" minlength="4" required></label>
      <label>Password again <input id="password2" name="password2" type="password" minlength="4" required></label>
      <button id="signup-button" type="submit">Sign up</button>
    </form>
  </section>
  <section>
    <h2>Best times</h2>
<?php printRuns('best-times', $best, true, 'No times yet: be the first!'); ?>
  </section>
  <section>
    <h2>Latest runs</h2>
<?php printRuns('latest-runs', $latest, false, 'No runs yet.'); ?>
  </section>
</main>
</body>
</html>
