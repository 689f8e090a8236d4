// Signal K's NMEA 0183 parser over the sentences of standard input, one a
// line: one JSON line out for each, {"sentence", "delta"} or {"sentence",
// "error"}. A sentence the parser does not know gives a null delta.
const Parser = require('@signalk/nmea0183-signalk');

const parser = new Parser();
const text = require('fs').readFileSync(0, 'utf8');
for (const sentence of text.split('\n')) {
  if (sentence.length === 0) continue;
  let result;
  try {
    result = { sentence, delta: parser.parse(sentence) };
  } catch (e) {
    result = { sentence, error: String(e && e.message ? e.message : e) };
  }
  process.stdout.write(JSON.stringify(result) + '\n');
}
