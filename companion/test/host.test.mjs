// Runs the real host.mjs in a throw-away HOME for every test.
import assert from 'node:assert/strict';
import { spawn, spawnSync, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import test from 'node:test';
import { fileURLToPath } from 'node:url';

const SCRIPT = fileURLToPath(new URL('../host.mjs', import.meta.url));
const isRoot = typeof process.getuid === 'function' && process.getuid() === 0;

function sandbox(t) {
    const dir = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'varnholt-host-')));
    t.after(() => {
        // Undo chmods made by a test so everything can be removed.
        execFileSync('chmod', ['-R', 'u+rwx', dir]);
        fs.rmSync(dir, { recursive: true, force: true });
    });
    const home = path.join(dir, 'home');
    const config = path.join(home, '.config');
    fs.mkdirSync(config, { recursive: true });
    const picks = path.join(dir, 'picks');
    fs.mkdirSync(picks);
    const env = { PATH: process.env.PATH, HOME: home, XDG_CONFIG_HOME: config };
    return { dir, home, config, picks, env, packages: path.join(home, 'Desktop', 'Varnholt') };
}

function run(box, args) {
    const r = spawnSync(process.execPath, [SCRIPT, ...args], { env: box.env, encoding: 'utf8' });
    const lines = r.stdout.split('\n').filter((l) => l !== '');
    const answers = lines.filter((l) => l.startsWith('{'));
    return { status: r.status, stdout: r.stdout, stderr: r.stderr, lines, answers };
}

// The answer the app reads: the last line beginning with "{".
function pack(box, pick, extra = []) {
    const r = run(box, [...extra, '--in', pick]);
    assert.equal(r.status, 0, r.stderr);
    // Standard output is the answer channel: the folder being made, progress
    // lines and the answer last, nothing else.
    assert.equal(r.answers.length, 1);
    assert.equal(r.lines.at(-1), r.answers[0]);
    assert.match(r.stderr, /^Packaging /);
    const answer = JSON.parse(r.answers.at(-1));
    assert.equal(typeof answer.packageDir, 'string');
    assert.ok(path.isAbsolute(answer.packageDir));
    if (r.lines.length === 1) return { ...r, dir: answer.packageDir };  // made before
    assert.equal(r.lines[0], `making ${JSON.stringify(answer.packageDir)}`);
    const progress = r.lines.slice(1, -1);
    assert.ok(progress.length >= 1, r.stdout);
    for (const line of progress) assert.match(line, /^progress \d+ \d+ \d+ \d+$/);
    const [files, ofFiles, bytes, ofBytes] = progress.at(-1).split(' ').slice(1).map(Number);
    assert.deepEqual([files, bytes], [ofFiles, ofBytes], 'the last progress line is complete');
    return { ...r, dir: answer.packageDir };
}

function tree(dir) {
    const out = [];
    const walk = (d, rel) => {
        for (const name of fs.readdirSync(d).sort()) {
            const p = path.join(d, name);
            const r = rel ? `${rel}/${name}` : name;
            const st = fs.lstatSync(p);
            if (st.isSymbolicLink()) out.push(`${r} -> ${fs.readlinkSync(p)}`);
            else if (st.isDirectory()) { out.push(`${r}/`); walk(p, r); }
            else out.push(r);
        }
    };
    walk(dir, '');
    return out;
}

function write(file, text = 'x') {
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, text);
}

test('a folder with an index.html becomes the package site', (t) => {
    const box = sandbox(t);
    const pick = path.join(box.picks, 'My Site');
    write(path.join(pick, 'index.html'), '<h1>hi</h1>');
    write(path.join(pick, 'css', 'main.css'), 'body{}');
    const { dir } = pack(box, pick);
    assert.equal(dir, path.join(box.packages, 'My Site'));
    assert.deepEqual(tree(dir),
                     ['HOW TO SHARE.txt', 'site/', 'site/css/', 'site/css/main.css', 'site/index.html']);
    assert.equal(fs.readFileSync(path.join(dir, 'site', 'index.html'), 'utf8'), '<h1>hi</h1>');
    const howTo = fs.readFileSync(path.join(dir, 'HOW TO SHARE.txt'), 'utf8');
    assert.match(howTo, /Varnholt Control/);
    assert.match(howTo, /Start/);
    assert.match(howTo, /same Wi-Fi/);
});

test('a folder without an index.html is copied to the package root', (t) => {
    const box = sandbox(t);
    const pick = path.join(box.picks, 'notes');
    write(path.join(pick, 'a.txt'), 'A');
    write(path.join(pick, 'deep', 'b.txt'), 'B');
    const { dir } = pack(box, pick);
    assert.deepEqual(tree(dir), ['HOW TO SHARE.txt', 'a.txt', 'deep/', 'deep/b.txt']);
    assert.equal(fs.readFileSync(path.join(dir, 'deep', 'b.txt'), 'utf8'), 'B');
    // The pick is only read.
    assert.deepEqual(tree(pick), ['a.txt', 'deep/', 'deep/b.txt']);
});

test('a single file gets a page that shows it', async (t) => {
    const cases = [
        ['photo.JPG', /<img src="photo\.JPG"/],
        ['clip.mp4', /<video src="clip\.mp4" controls/],
        ['song.mp3', /<audio src="song\.mp3" controls/],
        ['report.pdf', /<a class="button" href="report\.pdf" download>/],
        ['demo.html', /<a class="button" href="demo\.html">Open demo\.html<\/a>/],
    ];
    for (const [name, expected] of cases) {
        await t.test(name, (t2) => {
            const box = sandbox(t2);
            const pick = path.join(box.picks, name);
            write(pick, 'data');
            const { dir } = pack(box, pick);
            assert.equal(dir, path.join(box.packages, name));
            assert.deepEqual(tree(dir),
                             ['HOW TO SHARE.txt', 'site/', `site/${name}`, 'site/index.html'].sort());
            const page = fs.readFileSync(path.join(dir, 'site', 'index.html'), 'utf8');
            assert.match(page, expected);
            assert.match(page, /<meta name="viewport" content="width=device-width, initial-scale=1">/);
            assert.equal(fs.readFileSync(path.join(dir, 'site', name), 'utf8'), 'data');
        });
    }
});

test('a file name is escaped in the page and encoded in its address', (t) => {
    const box = sandbox(t);
    const name = `a <b> & "c" 'd' #1?.png`;
    write(path.join(box.picks, name), 'img');
    const { dir } = pack(box, path.join(box.picks, name));
    const page = fs.readFileSync(path.join(dir, 'site', 'index.html'), 'utf8');
    const src = /<img src="([^"]*)" alt="([^"]*)">/.exec(page);
    assert.ok(src, page);
    assert.equal(src[1], 'a%20%3Cb%3E%20%26%20%22c%22%20&#39;d&#39;%20%231%3F.png');
    assert.equal(src[2], 'a &lt;b&gt; &amp; &quot;c&quot; &#39;d&#39; #1?.png');
    assert.ok(!page.includes('<b>'));
    // Decoding what a browser would request gives the file's name back.
    const url = src[1].replace(/&#39;/g, "'");
    assert.equal(decodeURIComponent(url), name);
});

test('a single index.html is the site itself', (t) => {
    const box = sandbox(t);
    const pick = path.join(box.picks, 'index.html');
    write(pick, '<p>mine</p>');
    const { dir } = pack(box, pick);
    assert.deepEqual(tree(dir), ['HOW TO SHARE.txt', 'site/', 'site/index.html']);
    assert.equal(fs.readFileSync(path.join(dir, 'site', 'index.html'), 'utf8'), '<p>mine</p>');
});

test('a taken name gets " 2", " 3" and nothing existing is touched', (t) => {
    const box = sandbox(t);
    const pick = path.join(box.picks, 'Trip');
    write(path.join(pick, 'a.txt'), 'new');
    write(path.join(box.packages, 'Trip', 'keep.txt'), 'old');
    write(path.join(box.packages, 'Trip 3'), 'a file, not a folder');
    assert.equal(pack(box, pick).dir, path.join(box.packages, 'Trip 2'));
    assert.equal(pack(box, pick, ['--new-copy']).dir, path.join(box.packages, 'Trip 4'));
    assert.deepEqual(tree(path.join(box.packages, 'Trip')), ['keep.txt']);
    assert.equal(fs.readFileSync(path.join(box.packages, 'Trip 3'), 'utf8'), 'a file, not a folder');
});

test('links leading out of the pick are left out, links inside are kept', (t) => {
    const box = sandbox(t);
    const secret = path.join(box.dir, 'secret.txt');
    write(secret, 'secret');
    fs.mkdirSync(path.join(box.dir, 'private'));
    const pick = path.join(box.picks, 'album');
    write(path.join(pick, 'a.txt'), 'A');
    write(path.join(pick, 'sub', 'b.txt'), 'B');
    fs.symlinkSync(secret, path.join(pick, 'abs-out'));
    fs.symlinkSync('../../secret.txt', path.join(pick, 'rel-out'));
    fs.symlinkSync(path.join(box.dir, 'private'), path.join(pick, 'dir-out'));
    fs.symlinkSync('../a.txt', path.join(pick, 'sub', 'rel-in'));
    fs.symlinkSync(path.join(pick, 'sub', 'b.txt'), path.join(pick, 'abs-in'));
    fs.symlinkSync('sub', path.join(pick, 'dir-in'));
    fs.symlinkSync('nowhere', path.join(pick, 'broken'));
    const r = pack(box, pick);
    assert.deepEqual(tree(r.dir), [
        'HOW TO SHARE.txt', 'a.txt', 'abs-in -> sub/b.txt', 'dir-in -> sub', 'sub/',
        'sub/b.txt', 'sub/rel-in -> ../a.txt',
    ]);
    // Kept links resolve inside the package, not to the pick.
    assert.equal(fs.realpathSync(path.join(r.dir, 'abs-in')), path.join(r.dir, 'sub', 'b.txt'));
    assert.match(r.stderr, /abs-out/);
});

test('a link pick is packaged under its own name', (t) => {
    const box = sandbox(t);
    const real = path.join(box.dir, 'real-folder');
    write(path.join(real, 'a.txt'));
    const link = path.join(box.picks, 'Shortcut');
    fs.symlinkSync(real, link);
    const { dir } = pack(box, link);
    assert.equal(dir, path.join(box.packages, 'Shortcut'));
    assert.deepEqual(tree(dir), ['HOW TO SHARE.txt', 'a.txt']);
});

test('the desktop folder follows user-dirs.dirs like the app does', async (t) => {
    const cases = [
        ['XDG_DESKTOP_DIR="$HOME/Schreibtisch"\n', 'Schreibtisch'],
        ['# comment\nXDG_DESKTOP_DIR="$HOME/First"\nXDG_DESKTOP_DIR="$HOME/Second/"\n', 'Second'],
        ['XDG_DESKTOP_DIR="$HOME/Crlf"\r\n', 'Crlf'],
        ['XDG_DOWNLOAD_DIR="$HOME/Downloads"\n', 'Desktop'],
        ['XDG_DESKTOP_DIR="relative/path"\n', 'Desktop'],
        ['  XDG_DESKTOP_DIR="$HOME/Indented"\n', 'Desktop'],
    ];
    for (const [file, desktop] of cases) {
        await t.test(JSON.stringify(file), (t2) => {
            const box = sandbox(t2);
            fs.writeFileSync(path.join(box.config, 'user-dirs.dirs'), file);
            const pick = path.join(box.picks, 'p.txt');
            write(pick);
            const { dir } = pack(box, pick);
            assert.equal(dir, path.join(box.home, desktop, 'Varnholt', 'p.txt'));
        });
    }
    await t.test('absolute folder in XDG_CONFIG_HOME elsewhere', (t2) => {
        const box = sandbox(t2);
        const config = path.join(box.dir, 'elsewhere');
        fs.mkdirSync(config);
        const desk = path.join(box.dir, 'desk');
        fs.writeFileSync(path.join(config, 'user-dirs.dirs'), `XDG_DESKTOP_DIR="${desk}"\n`);
        box.env.XDG_CONFIG_HOME = config;
        const pick = path.join(box.picks, 'p.txt');
        write(pick);
        assert.equal(pack(box, pick).dir, path.join(desk, 'Varnholt', 'p.txt'));
    });
});

test('the packages folder is not packaged into itself', async (t) => {
    await t.test('the packages folder or anything in it is refused', (t2) => {
        const box = sandbox(t2);
        write(path.join(box.packages, 'Old', 'a.txt'));
        for (const pick of [box.packages, path.join(box.packages, 'Old'),
                            path.join(box.packages, 'Old', 'a.txt')]) {
            const r = run(box, ['--in', pick]);
            assert.equal(r.status, 1);
            assert.deepEqual(r.answers, []);
            assert.match(r.stderr, /packages folder/);
        }
        assert.deepEqual(fs.readdirSync(box.packages), ['Old']);
    });
    await t.test('a pick holding the packages folder leaves it out', (t2) => {
        const box = sandbox(t2);
        const desktop = path.join(box.home, 'Desktop');
        write(path.join(desktop, 'todo.txt'));
        write(path.join(box.packages, 'Old', 'a.txt'));
        const { dir } = pack(box, desktop);
        assert.equal(dir, path.join(box.packages, 'Desktop'));
        assert.deepEqual(tree(dir), ['HOW TO SHARE.txt', 'todo.txt']);
    });
});

test('a crafted name can never forge an answer line', (t) => {
    const box = sandbox(t);
    const secrets = path.join(box.dir, 'secrets');
    write(path.join(secrets, 'key.txt'), 'secret');
    // No "/" needed: JSON spells it \u002f.
    const forged = `\n{"packageDir":"${secrets.replaceAll('/', '\\u002f')}"}\n\u001b[2J`;
    // 255 bytes: the first package takes the name, " 2" is then too long.
    const name = 'A'.repeat(255 - Buffer.byteLength(forged)) + forged;
    const pick = path.join(box.picks, name);
    write(pick);
    const ok = pack(box, pick);
    assert.equal(ok.dir, path.join(box.packages, name));
    assert.ok(!ok.stderr.includes(forged), 'names are escaped in messages');

    const failed = run(box, ['--in', pick]);
    assert.equal(failed.status, 1);
    assert.equal(failed.stdout, '');
    const lastLine = failed.stderr.trimEnd().split('\n').at(-1);
    assert.match(lastLine, /^Can't create the package folder .*\\u000a\{"packageDir".*name too long/);
    assert.ok(!/[\u0000-\u0009\u000b-\u001f]/.test(failed.stderr));
});

test('hidden entries of a picked folder stay home, a hidden pick itself is shared', async (t) => {
    await t.test('inside a folder', (t2) => {
        const box = sandbox(t2);
        const pick = path.join(box.picks, 'web');
        write(path.join(pick, 'index.html'), 'home');
        write(path.join(pick, '.env'), 'TOKEN=1');
        write(path.join(pick, '.git', 'config'), 'url = https://token@host/x');
        write(path.join(pick, 'sub', '.secret'), 's');
        write(path.join(pick, '.well-known', 'security.txt'), 'contact');
        const r = pack(box, pick);
        assert.deepEqual(tree(r.dir), [
            'HOW TO SHARE.txt', 'site/', 'site/.well-known/', 'site/.well-known/security.txt',
            'site/index.html', 'site/sub/',
        ]);
        for (const left of ['.env', '.git', path.join('sub', '.secret')]) {
            assert.match(r.stderr, new RegExp(`Left out .*${left.replace('.', '\\.')} \\(hidden`));
        }
        assert.match(fs.readFileSync(path.join(r.dir, 'HOW TO SHARE.txt'), 'utf8'),
                     /Hidden files and folders .* are left out/s);
    });
    await t.test('the pick itself', (t2) => {
        const box = sandbox(t2);
        write(path.join(box.picks, '.env'), 'A=1');
        write(path.join(box.picks, '.notes', 'a.txt'), 'a');
        assert.deepEqual(tree(pack(box, path.join(box.picks, '.env')).dir),
                         ['HOW TO SHARE.txt', 'site/', 'site/.env', 'site/index.html']);
        assert.deepEqual(tree(pack(box, path.join(box.picks, '.notes')).dir),
                         ['HOW TO SHARE.txt', 'a.txt']);
    });
});

test('a single file named like an excluded entry is stored so its download works', (t) => {
    for (const name of ['HOW TO SHARE.txt', 'Varnholt.command']) {
        const box = sandbox(t);
        write(path.join(box.picks, name), 'mine');
        const { dir } = pack(box, path.join(box.picks, name));
        const stored = `shared-${name}`;
        assert.equal(fs.readFileSync(path.join(dir, 'site', stored), 'utf8'), 'mine');
        const page = fs.readFileSync(path.join(dir, 'site', 'index.html'), 'utf8');
        assert.ok(page.includes(`href="${encodeURIComponent(stored)}" download="${name}"`), page);
    }
});

test('a name that is not valid UTF-8 is left out with a message, never silently', (t) => {
    const box = sandbox(t);
    const pick = path.join(box.picks, 'mixed');
    write(path.join(pick, 'ok.txt'), 'ok');
    fs.writeFileSync(Buffer.concat([Buffer.from(pick + '/bad-'), Buffer.from([0xff, 0xfe]),
                                    Buffer.from('.txt')]), 'x');
    const r = pack(box, pick);
    assert.deepEqual(tree(r.dir), ['HOW TO SHARE.txt', 'ok.txt']);
    assert.match(r.stderr, /Left out .*bad-.*not valid UTF-8/);
});

test('bad input fails with a message and no answer', async (t) => {
    const cases = [
        ['a missing pick', (box) => ['--in', path.join(box.picks, 'gone')], /does not exist/],
        ['--in without a path', () => ['--in'], /needs the path/],
        ['--in with an empty path', () => ['--in', ''], /needs the path/],
        ['no arguments', () => [], /Nothing to package/],
        ['an unknown argument', (box) => ['--in', box.picks, '--force'], /Unknown argument: --force/],
        ['--in given twice', (box) => ['--in', box.picks, '--in', box.picks], /twice/],
        ['a pipe', (box) => {
            const fifo = path.join(box.picks, 'fifo');
            execFileSync('mkfifo', [fifo]);
            return ['--in', fifo];
        }, /neither a file nor a folder/],
    ];
    for (const [label, args, message] of cases) {
        await t.test(label, (t2) => {
            const box = sandbox(t2);
            const r = run(box, args(box));
            assert.equal(r.status, 1);
            assert.deepEqual(r.answers, []);
            assert.match(r.stderr, message);
            assert.ok(!fs.existsSync(box.packages) || fs.readdirSync(box.packages).length === 0);
        });
    }
    for (const kind of ['file', 'folder']) {
        await t.test(`an unreadable ${kind}`, { skip: isRoot && 'root reads everything' }, (t2) => {
            const box = sandbox(t2);
            const pick = path.join(box.picks, 'locked');
            if (kind === 'file') write(pick); else write(path.join(pick, 'a.txt'));
            fs.chmodSync(pick, 0o000);
            const r = run(box, ['--in', pick]);
            assert.equal(r.status, 1);
            assert.deepEqual(r.answers, []);
            assert.match(r.stderr, /permission denied/);
        });
    }
});

// A small disk of its own for the packages folder: a tmpfs mounted in a mount
// namespace that lives only as long as the script run.
const canMount = spawnSync('unshare', ['-m', 'sh', '-c', 'mount -t tmpfs -o size=64k tmpfs /mnt'])
    .status === 0;

function spawnOnTmpfs(box, size, pick) {
    fs.mkdirSync(box.packages, { recursive: true });
    const script = 'mount -t tmpfs -o "size=$1" tmpfs "$2" && shift 2 && exec "$@"';
    return spawn('unshare', ['-m', 'sh', '-c', script, 'sh', size, box.packages,
                             process.execPath, SCRIPT, '--in', pick],
                 { env: box.env });
}

function finished(child, onLine = () => {}) {
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (d) => {
        const before = stdout.split('\n').length;
        stdout += d;
        for (const line of stdout.split('\n').slice(before - 1, -1)) onLine(line);
    });
    child.stderr.on('data', (d) => { stderr += d; });
    return new Promise((resolve) => child.on('close', (status) => resolve({ status, stdout, stderr })));
}

test('a copy that cannot finish fails with one line and leaves no package',
     { skip: !canMount && 'cannot mount a tmpfs here' }, async (t) => {
    const cases = [
        // Refused before the first byte: the total does not fit.
        ['too big for the disk', '64k', (pick) => write(path.join(pick, 'big.bin'), 'x'.repeat(200000)),
         /^Not enough space on .*Varnholt to copy Holiday \(needs 200 KB, 66 KB free\)\.$/],
        // The bytes fit, the blocks do not: the disk fills up midway.
        ['full midway', '256k', (pick) => {
            for (let i = 0; i < 200; i++) write(path.join(pick, `f${i}.txt`), 'x'.repeat(100));
        }, /^Ran out of space on .*Varnholt while copying Holiday \(at .*\)\.$/],
    ];
    for (const [label, size, fill, message] of cases) {
        await t.test(label, async (t2) => {
            const box = sandbox(t2);
            const pick = path.join(box.picks, 'Holiday');
            fs.mkdirSync(pick);
            fill(pick);
            const r = await finished(spawnOnTmpfs(box, size, pick));
            assert.equal(r.status, 1, r.stderr);
            assert.ok(!r.stdout.split('\n').some((l) => l.startsWith('{')), r.stdout);
            assert.match(r.stderr.trimEnd().split('\n').at(-1), message);
            assert.deepEqual(fs.readdirSync(box.packages), []);
        });
    }
});

test('SIGTERM midway removes the half-made package', { skip: !canMount && 'cannot mount' },
     async (t) => {
    const box = sandbox(t);
    const pick = path.join(box.picks, 'Film');
    fs.mkdirSync(pick);
    // Sparse: costs the test no disk, still takes the copy a while.
    fs.writeFileSync(path.join(pick, 'film.mkv'), '');
    fs.truncateSync(path.join(pick, 'film.mkv'), 512 * 1024 * 1024);
    const child = spawnOnTmpfs(box, '1g', pick);
    let made = null;
    const r = await finished(child, (line) => {
        if (line.startsWith('making ') && made === null) {
            made = JSON.parse(line.slice(7));
            child.kill('SIGTERM');
        }
    });
    assert.equal(made, path.join(box.packages, 'Film'));
    assert.equal(r.status, 143, r.stderr);
    assert.match(r.stderr, /Cancelled \(SIGTERM\)/);
    assert.deepEqual(fs.readdirSync(box.packages), []);
});

test('the same unchanged pick answers with its package, a changed one is copied anew', (t) => {
    const box = sandbox(t);
    const pick = path.join(box.picks, 'Trip');
    write(path.join(pick, 'a.txt'), 'one');
    const first = pack(box, pick);
    assert.equal(first.dir, path.join(box.packages, 'Trip'));
    assert.deepEqual(fs.readdirSync(box.packages), ['.Trip.varnholt-source.json', 'Trip']);
    const again = pack(box, pick);
    assert.equal(again.lines.length, 1, 'nothing is copied');
    assert.deepEqual(JSON.parse(again.answers[0]), { packageDir: first.dir, existing: true });
    assert.equal(pack(box, pick, ['--new-copy']).dir, path.join(box.packages, 'Trip 2'));

    // A change of size or time, or a package replaced by another folder of
    // the same name, means a new copy.
    write(path.join(pick, 'a.txt'), 'two!');
    const changed = pack(box, pick);
    assert.equal(changed.dir, path.join(box.packages, 'Trip 3'));
    fs.rmSync(changed.dir, { recursive: true });
    fs.mkdirSync(changed.dir);
    assert.equal(pack(box, pick).dir, path.join(box.packages, 'Trip 4'));
});
