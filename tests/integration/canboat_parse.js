// canboat's NMEA 2000 decoder (@canboat/canboatjs) over the plain text lines
// of standard input, one message a line: one JSON line out for each,
// {"line", "message"} or {"line", "error"}; a line it cannot read gives a
// null message.
const { FromPgn } = require('@canboat/canboatjs');

const parser = new FromPgn();
parser.on('error', () => {});
parser.on('warning', () => {});
const text = require('fs').readFileSync(0, 'utf8');
for (const line of text.split('\n')) {
  if (line.trim().length === 0) continue;
  let result;
  try {
    const message = parser.parseString(line.trim());
    result = { line, message: message === undefined ? null : message };
  } catch (e) {
    result = { line, error: String(e && e.message ? e.message : e) };
  }
  process.stdout.write(JSON.stringify(result) + '\n');
}
