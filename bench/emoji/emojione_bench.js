// Times emojione's own JavaScript conversions on a corpus file, for comparison only.
//
//   node emojione_bench.js <path/to/emojione.js> <corpus file> [repeats]
//
// Prints "name cpuMBps wallMBps" lines (MB = 10^6 bytes of UTF-8 input; medians over the
// repeats; CPU time is the whole node process's, helper threads included), then
// "peakRssKb N". Run from bench/emoji/run.sh, which packs emojione into a temporary
// directory; nothing of it is kept in the tree.
'use strict';

const fs = require('fs');

const [libPath, corpusPath, repeatsArg] = process.argv.slice(2);
if (!libPath || !corpusPath) {
    console.error('usage: node emojione_bench.js <emojione.js> <corpus> [repeats]');
    process.exit(2);
}
const repeats = Number(repeatsArg || 5);
const emojione = require(libPath);
const corpusBytes = fs.readFileSync(corpusPath);
const corpus = corpusBytes.toString('utf8');

function median(values) {
    const sorted = [...values].sort((a, b) => a - b);
    return sorted[Math.floor(sorted.length / 2)];
}

function measure(name, fn, text, bytes, times) {
    fn(text);  // warm-up: compiles the expression
    const cpu = [];
    const wall = [];
    for (let i = 0; i < times; ++i) {
        const cpuStart = process.cpuUsage();
        const wallStart = process.hrtime.bigint();
        const out = fn(text);
        const wallEnd = process.hrtime.bigint();
        const cpuUsed = process.cpuUsage(cpuStart);
        if (typeof out !== 'string') throw new Error(name + ' returned no string');
        cpu.push(bytes / 1e6 / ((cpuUsed.user + cpuUsed.system) / 1e6));
        wall.push(bytes / 1e6 / (Number(wallEnd - wallStart) / 1e9));
    }
    console.log(`${name} ${median(cpu).toFixed(4)} ${median(wall).toFixed(4)}`);
}

measure('shortnameToUnicode', (s) => emojione.shortnameToUnicode(s), corpus,
        corpusBytes.length, repeats);

// As shipped, toShort rebuilds its whole conversion map for every match. Time that on a
// small slice only, then memoize the map and time the whole corpus.
const slice = corpusBytes.subarray(0, 16384).toString('utf8');
measure('toShortAsShipped', (s) => emojione.toShort(s), slice, Buffer.byteLength(slice), 1);

const conversionMap = emojione.shortnameConversionMap();
emojione.shortnameConversionMap = () => conversionMap;
measure('toShortMemoized', (s) => emojione.toShort(s), corpus, corpusBytes.length, repeats);

console.log(`peakRssKb ${process.resourceUsage().maxRSS} 0`);
