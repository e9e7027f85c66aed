#!/usr/bin/env bash
# Runs every case of a script corpus (one folder a case: test.swf, test.toml, output.txt and
# maybe input.json) through the renderer's --trace mode and compares the traced lines with
# output.txt, exactly or within the case's [approximations]. One line per case, then the total.
# Each case gets a fresh, empty store for its shared objects; files or folders that its test.toml
# lists in `stored = [...]` (paths in the case's folder, such as "save.sol") are copied first to
# where the movie's own shared objects live, so that SharedObject.getLocal("save") finds them.
# Usage: scripts/avm1-corpus.sh [--min N] [--jobs J] [CORPUS_DIR] [RENDERER]
# Exit status: 0 when at least N cases pass (all by default), 1 otherwise, 2 on a usage error or
# without a renderer, 77 without a corpus.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
min="" jobs=1
usage() { echo "usage: $0 [--min N] [--jobs J] [CORPUS_DIR] [RENDERER]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --min) [ $# -ge 2 ] || usage; min=$2; shift 2 ;;
    --jobs) [ $# -ge 2 ] || usage; jobs=$2; shift 2 ;;
    -h|--help) usage ;;
    --) shift; break ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -le 2 ] || usage
[[ $min =~ ^[0-9]*$ && $jobs =~ ^[1-9][0-9]*$ ]] || usage
corpus=${1:-$here/../shared/avm1-corpus}
render=${2:-$here/build/native/tools/quillon-render}
if [ ! -d "$corpus" ]; then echo "no corpus at $corpus"; exit 77; fi
if [ ! -x "$render" ]; then echo "no renderer at $render (build the native preset first)"; exit 2; fi
# Cases run from their own folders: both paths must not depend on where we started.
corpus=$(cd "$corpus" && pwd)
render=$(cd "$(dirname "$render")" && pwd)/$(basename "$render")

exec python3 - "$corpus" "$render" "$min" "$jobs" <<'PYTHON'
import concurrent.futures
import math
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile

# A command that runs the renderer, such as an emulator for another architecture.
RUN_PREFIX = shlex.split(os.environ.get('QUILLON_RUN', ''))
CASE_TIMEOUT = 10 if not RUN_PREFIX else 120  # seconds; emulation is far slower
# The reference outputs were taken in a fixed +05:45 zone with the clock at 2001-02-02T22:20:06Z
# (the dates the cases print show both); every case runs with the same.
REFERENCE_ENV = dict(os.environ, TZ='<+0545>-05:45')
REFERENCE_CLOCK = '981152406000'
SHOWN = 60         # characters of a line shown in a failure

corpus, render, wanted, jobs = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3], int(sys.argv[4])


# --- test.toml: only the keys this needs, read leniently (cases use TOML that strict readers
# refuse, such as inline tables over several lines).

def unquoted(text):
    """(index, character) for every character of `text` outside a quoted string."""
    quote = None
    i = 0
    while i < len(text):
        c = text[i]
        if quote:
            if c == '\\' and quote == '"':
                i += 1
            elif c == quote:
                quote = None
        elif c in '"\'':
            quote = c
        else:
            yield i, c
        i += 1


def strip_comment(text):
    for i, c in unquoted(text):
        if c == '#':
            return text[:i]
    return text


def bracket_depth(text):
    depth = 0
    for _, c in unquoted(text):
        if c in '[{':
            depth += 1
        elif c in ']}':
            depth -= 1
    return depth


ESCAPES = {'b': '\b', 't': '\t', 'n': '\n', 'f': '\f', 'r': '\r', '"': '"', '\\': '\\'}


def parse_string(text, i):
    """The string starting at text[i]; returns (value, index after it)."""
    quote = text[i]
    out = []
    i += 1
    while i < len(text):
        c = text[i]
        if c == quote:
            return ''.join(out), i + 1
        if c == '\\' and quote == '"' and i + 1 < len(text):
            e = text[i + 1]
            if e in 'uU':
                width = 4 if e == 'u' else 8
                out.append(chr(int(text[i + 2:i + 2 + width], 16)))
                i += 2 + width
                continue
            out.append(ESCAPES.get(e, e))
            i += 2
            continue
        out.append(c)
        i += 1
    raise ValueError('unterminated string')


def parse_value(text):
    text = text.strip()
    if text.startswith('['):
        items, i = [], 1
        while i < len(text):
            c = text[i]
            if c in '"\'':
                value, i = parse_string(text, i)
                items.append(value)
            elif c == ']':
                break
            elif c in ', \t\r\n':
                i += 1
            else:
                j = i
                while j < len(text) and text[j] not in ',]':
                    j += 1
                items.append(parse_value(text[i:j]))
                i = j
        return items
    if text[:1] in ('"', "'"):
        return parse_string(text, 0)[0]
    if text in ('true', 'false'):
        return text == 'true'
    plain = text.replace('_', '')
    try:
        return int(plain, 0)
    except ValueError:
        return float(plain)


def read_toml(path):
    """{section: {key: value}} for the top level ('') and [tables]."""
    tables = {'': {}}
    section = ''
    with open(path, encoding='utf-8', errors='replace') as f:
        lines = f.read().split('\n')
    i = 0
    while i < len(lines):
        line = strip_comment(lines[i]).strip()
        i += 1
        header = re.fullmatch(r'\[\[?\s*([^\[\]]+?)\s*\]\]?', line)
        if header:
            section = header.group(1).replace('"', '')
            tables.setdefault(section, {})
            continue
        pair = re.fullmatch(r'([A-Za-z0-9_.\-"]+)\s*=\s*(.*)', line)
        if not pair:
            continue
        value = pair.group(2)
        while bracket_depth(value) > 0 and i < len(lines):
            value += '\n' + strip_comment(lines[i])
            i += 1
        try:
            tables[section][pair.group(1).strip('"')] = parse_value(value)
        except (ValueError, IndexError):
            pass  # values this never reads (inline tables...)
    return tables


# --- comparing lines

NUMBER = re.compile(r'[+-]?(?:\d+(?:\.\d*)?|\.\d+)(?:[eE][+-]?\d+)?|[+-]?Infinity|NaN')


def number(text):
    text = text.strip()
    return float(text.replace('Infinity', 'inf')) if NUMBER.fullmatch(text) else None


class Approximations:
    def __init__(self, table):
        self.epsilon = float(table.get('epsilon', 0))
        self.relative = float(table.get('max_relative', 0))
        self.bare = bool(table.get('bare_numbers', False))
        self.patterns = [re.compile(p) for p in table.get('number_patterns', [])]

    def close(self, a, b):
        if a == b or (math.isnan(a) and math.isnan(b)):
            return True
        if math.isinf(a) or math.isinf(b) or math.isnan(a) or math.isnan(b):
            return False
        d = abs(a - b)
        return d <= self.epsilon or d <= self.relative * max(abs(a), abs(b))

    def split(self, line):
        """The line with every captured number cut out, and those numbers' texts, in order."""
        captured = []
        for pattern in self.patterns:
            spans = []
            for m in pattern.finditer(line):
                groups = range(1, pattern.groups + 1) if pattern.groups else [0]
                spans += [m.span(g) for g in groups if m.start(g) >= 0]
            pieces, last = [], 0
            for start, end in sorted(spans):
                if start < last:
                    continue
                pieces.append(line[last:start])
                captured.append(line[start:end])
                pieces.append('\0')
                last = end
            line = ''.join(pieces) + line[last:]
        return line, captured

    def same(self, got, expected):
        if self.bare:
            a, b = number(got), number(expected)
            if a is not None and b is not None:
                return self.close(a, b)
        if not self.patterns:
            return False
        got_rest, got_numbers = self.split(got)
        expected_rest, expected_numbers = self.split(expected)
        if got_rest != expected_rest or len(got_numbers) != len(expected_numbers):
            return False
        for g, e in zip(got_numbers, expected_numbers):
            a, b = number(g), number(e)
            if g != e and (a is None or b is None or not self.close(a, b)):
                return False
        return True


def lines_of(data):
    lines = data.decode('utf-8', 'surrogateescape').split('\n')
    while lines and lines[-1] == '':
        lines.pop()
    return lines


def shown(text, around):
    """The line made printable, cut to SHOWN characters around index `around`."""
    text = text.encode('utf-8', 'surrogateescape').decode('utf-8', 'backslashreplace')
    text = text.replace('\r', '\\r').replace('\t', '\\t')
    if len(text) <= SHOWN:
        return "'" + text + "'"
    start = max(0, min(around - SHOWN // 3, len(text) - SHOWN))
    cut = text[start:start + SHOWN]
    return "'" + ('...' if start else '') + cut + ('...' if start + SHOWN < len(text) else '') + "'"


def first_difference(got, expected, approx):
    for k in range(max(len(got), len(expected))):
        g = got[k] if k < len(got) else None
        e = expected[k] if k < len(expected) else None
        if g == e or (g is not None and e is not None and approx and approx.same(g, e)):
            continue
        if g is None:
            return f'line {k + 1}: got end of output, expected {shown(e, 0)} ({len(got)} of {len(expected)} lines)'
        if e is None:
            return f'line {k + 1}: got {shown(g, 0)} expected end of output ({len(got)} lines, {len(expected)} expected)'
        at = next((i for i, (a, b) in enumerate(zip(g, e)) if a != b), min(len(g), len(e)))
        return f'line {k + 1}: got {shown(g, at)} expected {shown(e, at)}'
    return None


# --- running

def run_case(name):
    folder = os.path.join(corpus, name)
    try:
        toml = read_toml(os.path.join(folder, 'test.toml'))
        top = toml.get('', {})
        frames = int(top.get('num_frames', top.get('num_ticks', 1)))
        approx = Approximations(toml['approximations']) if 'approximations' in toml else None
        with open(os.path.join(folder, 'output.txt'), 'rb') as f:
            expected = lines_of(f.read())
    except (OSError, ValueError, re.error) as e:
        return False, f'cannot read the case: {e}'
    store = tempfile.mkdtemp(prefix='quillon-store-')
    try:
        stored = top.get('stored', [])
        for item in stored if isinstance(stored, list) else [stored]:
            source = os.path.normpath(os.path.join(folder, str(item)))
            if os.path.commonpath([source, folder]) != folder:
                return False, f'stored data outside the case: {item}'
            # The movie's folder of saves: localhost, then the movie's own path.
            saves = os.path.join(store, 'localhost', *os.path.join(folder, 'test.swf').strip(os.sep).split(os.sep))
            target = os.path.join(saves, os.path.relpath(source, folder))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if os.path.isdir(source):
                shutil.copytree(source, target)
            else:
                shutil.copy(source, target)
        return run_in_store(name, folder, frames, approx, expected, store)
    except OSError as e:
        return False, f'cannot prepare the store: {e}'
    finally:
        shutil.rmtree(store, ignore_errors=True)


def run_in_store(name, folder, frames, approx, expected, store):
    command = RUN_PREFIX + [render, os.path.join(folder, 'test.swf'), '--frames', str(frames), '--trace', '--clock', REFERENCE_CLOCK,
               '--store', store]
    if os.path.exists(os.path.join(folder, 'input.json')):
        command += ['--input', os.path.join(folder, 'input.json')]
    try:
        child = subprocess.Popen(command, cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, start_new_session=True, env=REFERENCE_ENV)
    except OSError as e:
        return False, f'cannot run {render}: {e}'
    problem = None
    try:
        out, err = child.communicate(timeout=CASE_TIMEOUT)
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, signal.SIGKILL)
        out, err = child.communicate()
        problem = f'timed out after {CASE_TIMEOUT}s'
    if problem is None and child.returncode != 0:
        rc = child.returncode
        problem = f'killed by {signal.Signals(-rc).name}' if rc < 0 else f'exit status {rc}'
        last = [l for l in err.decode('utf-8', 'replace').split('\n') if l.strip()]
        if last:
            problem += ' (' + shown(last[-1], 0)[1:-1] + ')'
    difference = first_difference(lines_of(out), expected, approx)
    if problem:
        return False, problem + (f'; {difference}' if difference else '')
    return difference is None, difference


names = sorted(n for n in os.listdir(corpus)
               if os.path.isfile(os.path.join(corpus, n, 'test.toml'))
               and os.path.isfile(os.path.join(corpus, n, 'test.swf')))
if not names:
    print(f'no cases in {corpus}')
    sys.exit(77)
passed = 0
with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
    for name, (ok, detail) in zip(names, pool.map(run_case, names)):
        passed += ok
        print(f'pass {name}' if ok else f'FAIL {name}: {detail}', flush=True)
print(f'passed {passed} of {len(names)}')
sys.exit(0 if passed >= (int(wanted) if wanted else len(names)) else 1)
PYTHON
