#!/usr/bin/env node
// Varnholt companion packaging script.
//
// Turns a picked file or folder into a package folder that Varnholt Control
// lists and serves on the local network:
//
//   node host.mjs --in PATH
//
// The package is made in the packages folder (the desktop folder + "/Varnholt")
// and named after the pick; " 2", " 3"... are appended when that name is taken.
// Standard output is what the app reads: the folder being made, progress of
// the copy, and last the answer (see "Progress on the answer channel"):
//
//   {"packageDir":"/home/ana/Desktop/Varnholt/My Photos"}
//
// Messages and left-out entries go to standard error, with control
// characters in names escaped, so a crafted name can never print a line that
// passes for an answer. Failures (and SIGTERM/SIGINT) remove the half-made
// package, end with a one-line message, print no answer and exit non-zero.
// The pick itself is only ever read, never changed.
// Hidden entries (names starting with ".") inside a picked folder stay home,
// except .well-known.
//
// Needs Node 18 or later; built-in modules only.

import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const USAGE = 'Usage: node host.mjs [--new-copy] --in PATH';

class Refusal extends Error {}

function fail(message) {
    throw new Refusal(message);
}

// ---------------------------------------------------------------------------
// Where packages live

function cleanHome() {
    // The app cleans its home path the same way (no trailing or doubled slashes).
    let home = path.normalize(process.env.HOME || os.homedir());
    if (home.length > 1 && home.endsWith('/')) {
        home = home.slice(0, -1);
    }
    return home;
}

// The desktop folder as the app's platform layer sees it. On Linux that is the
// XDG desktop directory read exactly the way the app's toolkit reads it: the
// last XDG_DESKTOP_DIR line of user-dirs.dirs, quotes stripped, a leading
// $HOME replaced by the home folder. A value that is not an absolute path is
// invalid for xdg-user-dirs and falls back to ~/Desktop.
export function desktopFolder(env = process.env, platform = process.platform) {
    const home = cleanHome();
    const fallback = home + '/Desktop';
    if (platform === 'darwin') {
        return fallback;
    }
    const configHome = env.XDG_CONFIG_HOME ? env.XDG_CONFIG_HOME : home + '/.config';
    let text;
    try {
        text = fs.readFileSync(configHome + '/user-dirs.dirs', 'utf8');
    } catch {
        return fallback;
    }
    let result = null;
    for (const rawLine of text.split('\n')) {
        const line = rawLine.endsWith('\r') ? rawLine.slice(0, -1) : rawLine;
        const match = /^XDG_(.*)_DIR=(.*)$/.exec(line);
        if (!match || match[1] !== 'DESKTOP') {
            continue;
        }
        let value = match[2];
        if (value.length > 2 && value.startsWith('"') && value.endsWith('"')) {
            value = value.slice(1, -1);
        }
        result = value.startsWith('$HOME') ? home + value.slice(5) : value;
        if (result.length > 1 && result.endsWith('/')) {
            result = result.slice(0, -1);
        }
    }
    if (result === null || !path.isAbsolute(result)) {
        return fallback;
    }
    return result;
}

export function packagesFolder() {
    return desktopFolder() + '/Varnholt';
}

// ---------------------------------------------------------------------------
// Small helpers

function isInside(child, parent) {
    return child === parent || child.startsWith(parent === '/' ? '/' : parent + '/');
}

function realOrNull(p) {
    try {
        return fs.realpathSync(p);
    } catch {
        return null;
    }
}

// Names may hold line breaks or terminal escapes; messages show them as
// \u escapes, so each message stays one line of plain text.
export function shown(text) {
    return String(text).replace(/[\u0000-\u001f\u007f-\u009f\u2028\u2029]/g,
                                (c) => `\\u${c.charCodeAt(0).toString(16).padStart(4, '0')}`);
}

// Hidden files are where secrets live (.env, .git/config, .ssh), so a shared
// folder never takes them along; .well-known is meant to be public.
export function isHiddenEntry(name) {
    return name.startsWith('.') && name !== '.well-known';
}

// Names the app leaves out of every served copy; a single picked file named
// so is stored under another name, and its page offers the original one.
const EXCLUDED_NAMES = new Set(['HOW TO SHARE.txt', 'Varnholt.command']);

export function storedNameFor(fileName) {
    return EXCLUDED_NAMES.has(fileName) ? `shared-${fileName}` : fileName;
}

const strictUtf8 = new TextDecoder('utf-8', { fatal: true });

function describe(err) {
    switch (err && err.code) {
        case 'ENOENT':
            return 'it does not exist';
        case 'EACCES':
        case 'EPERM':
            return 'permission denied';
        case 'ENOSPC':
            return 'the disk is full';
        case 'ELOOP':
            return 'too many levels of symbolic links';
        default:
            return shown(err && err.message ? err.message : String(err));
    }
}

const IMAGE = new Set(['png', 'jpg', 'jpeg', 'gif', 'webp', 'avif', 'svg', 'bmp', 'ico', 'apng']);
const VIDEO = new Set(['mp4', 'm4v', 'webm', 'mov', 'ogv']);
const AUDIO = new Set(['mp3', 'm4a', 'aac', 'wav', 'ogg', 'oga', 'opus', 'flac']);
const PAGE = new Set(['html', 'htm']);

export function kindOf(fileName) {
    const ext = path.extname(fileName).slice(1).toLowerCase();
    if (IMAGE.has(ext)) return 'image';
    if (VIDEO.has(ext)) return 'video';
    if (AUDIO.has(ext)) return 'audio';
    if (PAGE.has(ext)) return 'page';
    return 'file';
}

export function escapeHtml(text) {
    return text
        .replace(/&/g, '&amp;')
        .replace(/</g, '&lt;')
        .replace(/>/g, '&gt;')
        .replace(/"/g, '&quot;')
        .replace(/'/g, '&#39;');
}

// The page that shows a single shared file. The file sits next to it, so its
// address is the encoded name alone (encodeURIComponent leaves no ":" or "/",
// so a name can never turn into a scheme or another folder).
export function pageFor(fileName, storedName = fileName) {
    const name = escapeHtml(fileName);
    const url = escapeHtml(encodeURIComponent(storedName));
    const download = storedName === fileName ? 'download' : `download="${name}"`;
    let body;
    switch (kindOf(fileName)) {
        case 'image':
            body = `<img src="${url}" alt="${name}">`;
            break;
        case 'video':
            body = `<video src="${url}" controls playsinline preload="metadata"></video>`;
            break;
        case 'audio':
            body = `<audio src="${url}" controls preload="metadata"></audio>`;
            break;
        case 'page':
            body = `<p><a class="button" href="${url}">Open ${name}</a></p>`;
            break;
        default:
            body = '';
            break;
    }
    return `<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>${name}</title>
<style>
  :root { color-scheme: dark; }
  body { margin: 0; padding: 16px; background: #1c1c1e; color: #f2f2f7;
         font: 16px/1.4 -apple-system, system-ui, sans-serif; text-align: center; }
  h1 { font-size: 18px; font-weight: 600; word-break: break-word; }
  img, video { max-width: 100%; max-height: 80vh; border-radius: 8px; }
  audio { width: 100%; max-width: 480px; }
  a.button { display: inline-block; margin-top: 12px; padding: 10px 18px; border-radius: 8px;
             background: #0a84ff; color: #fff; text-decoration: none; }
</style>
</head>
<body>
<h1>${name}</h1>
${body}
<p><a class="button" href="${url}" ${download}>Download ${name}</a></p>
</body>
</html>
`;
}

export function howToShare(title) {
    return `How to share "${title}"

1. Open Varnholt Control.
2. If "${title}" is listed under CURRENTLY HOSTED, it is shared already:
   go on with step 3. Otherwise find it in the QUICK HOST section (paused
   packages wait there) and press Start.
3. Under CURRENTLY HOSTED it shows with its address. Press Copy URL next
   to it (the address looks like http://192.168.1.20:1010/).
4. On your phone, join the same Wi-Fi network as this computer and open that
   address in the phone's web browser.
5. When you are done, press Stop in Varnholt Control.

Good to know
- Everyone on the same Wi-Fi can open the address while it runs, so share
  only what you are happy for them to see.
- This package is a copy. Changing the original does not change what is
  shared: pick it again with Open... to make a fresh package.
- This file and any file named Varnholt.command are never shared.
- Hidden files and folders (names starting with a dot, such as .env or
  .git) are left out of a shared folder, except .well-known. Links that lead
  out of the folder are left out too.
`;
}

// ---------------------------------------------------------------------------
// Planning the copy
//
// A first walk lists everything to make, so the total is known before the
// first byte is copied: the free-space check needs it, and so does progress.

// Plans the copy of the folder `srcRoot` (a real, resolved path) into
// `dstRoot`. Symbolic links are kept only when they point inside the pick;
// each becomes a relative link to the same item inside the package. Links
// leading out of the pick, broken links and special files (sockets, pipes,
// devices) are left out, as is the packages folder itself when the pick holds
// it. A folder or file that cannot be read fails the whole pick: a package
// that silently lacks part of what was picked would pass for complete.
function planTree(srcRoot, dstRoot, { exclude, plan }) {
    const walk = (srcDir, dstDir) => {
        let rawNames;
        try {
            rawNames = fs.readdirSync(srcDir, { encoding: 'buffer' });
        } catch (err) {
            fail(`Can't read ${shown(srcDir)}: ${describe(err)}.`);
        }
        const names = [];
        for (const raw of rawNames) {
            try {
                names.push(strictUtf8.decode(raw));
            } catch {
                // The app and its server take names as UTF-8 text; this one
                // would turn into another name on the way.
                plan.skipped.push(`${path.join(srcDir, raw.toString('utf8'))} ` +
                                  '(its name is not valid UTF-8; rename it to share it)');
            }
        }
        names.sort();
        for (const name of names) {
            const src = path.join(srcDir, name);
            if (isHiddenEntry(name)) {
                plan.skipped.push(`${src} (hidden, never shared)`);
                continue;
            }
            const dst = path.join(dstDir, name);
            let st;
            try {
                st = fs.lstatSync(src);
            } catch (err) {
                fail(`Can't read ${shown(src)}: ${describe(err)}.`);
            }
            if (st.isSymbolicLink()) {
                planLink(src, dst, srcRoot, plan);
            } else if (st.isDirectory()) {
                if (exclude && src === exclude) {
                    plan.skipped.push(`${src} (the Varnholt packages folder is never packaged)`);
                    continue;
                }
                plan.dirs.push(dst);
                walk(src, dst);
            } else if (st.isFile()) {
                plan.addFile(src, dst, st);
            } else {
                plan.skipped.push(`${src} (not a regular file or folder)`);
            }
        }
    };
    walk(srcRoot, dstRoot);
}

function planLink(src, dst, srcRoot, plan) {
    const target = realOrNull(src);
    if (target === null) {
        plan.skipped.push(`${src} (a broken link)`);
        return;
    }
    if (!isInside(target, srcRoot)) {
        plan.skipped.push(`${src} (a link to something outside what you picked)`);
        return;
    }
    let relative = path.relative(path.dirname(src), target);
    if (relative === '') {
        relative = '.';
    }
    plan.links.push({ target: relative, dst });
}

function newPlan() {
    return {
        dirs: [],
        links: [],
        files: [],
        skipped: [],
        bytes: 0,
        addFile(src, dst, st) {
            this.files.push({ src, dst, size: st.size, atime: st.atime, mtime: st.mtime });
            this.bytes += st.size;
        },
    };
}

// ---------------------------------------------------------------------------
// Room on the disk

// Sizes as people read them: "412 MB", "1.0 GB".
export function sizeText(bytes) {
    const units = ['bytes', 'KB', 'MB', 'GB', 'TB'];
    let value = bytes;
    let unit = 0;
    while (value >= 1000 && unit < units.length - 1) {
        value /= 1000;
        unit++;
    }
    if (unit === 0) {
        return `${bytes} ${bytes === 1 ? 'byte' : 'bytes'}`;
    }
    return `${value < 10 ? value.toFixed(1) : Math.round(value)} ${units[unit]}`;
}

// The mount point holding `dir`, for messages that say which disk is full.
function mountPointOf(dir) {
    let current = dir;
    const dev = fs.statSync(current).dev;
    while (current !== '/') {
        const parent = path.dirname(current);
        if (fs.statSync(parent).dev !== dev) break;
        current = parent;
    }
    return current;
}

function checkRoom(folder, needed, title) {
    if (typeof fs.statfsSync !== 'function') return;  // Node before 18.15: the copy tells
    let free;
    try {
        const st = fs.statfsSync(folder);
        free = Number(st.bavail) * Number(st.bsize);
    } catch {
        return;
    }
    if (needed > free) {
        fail(`Not enough space on ${shown(mountPointOf(folder))} to copy ${shown(title)} ` +
             `(needs ${sizeText(needed)}, ${sizeText(free)} free).`);
    }
}

// ---------------------------------------------------------------------------
// Progress on the answer channel
//
// Besides the final answer, standard output carries two kinds of line, none
// starting with "{" and none holding a name except JSON-encoded:
//   making "<package folder>"          once the package folder exists
//   progress <files> <of files> <bytes> <of bytes>

function say(line) {
    try {
        fs.writeSync(1, line + '\n');
    } catch {
        // Nobody reading: the copy goes on and the exit status still tells.
    }
}

class Progress {
    constructor(files, bytes) {
        this.files = files;
        this.bytes = bytes;
        this.filesDone = 0;
        this.bytesDone = 0;
        this.last = 0;
    }
    add(files, bytes) {
        this.filesDone += files;
        this.bytesDone += bytes;
        const now = Date.now();
        if (now - this.last >= 100) {
            this.report();
        }
    }
    report() {
        this.last = Date.now();
        say(`progress ${this.filesDone} ${this.files} ${this.bytesDone} ${this.bytes}`);
    }
}

// ---------------------------------------------------------------------------
// Copying

// Above this size a file is cloned or copied in chunks, so progress moves
// while it copies; smaller ones go whole, several at a time.
const BIG_FILE = 32 * 1024 * 1024;
const CHUNK = 4 * 1024 * 1024;
const PARALLEL = 8;
const CLONE_UNSUPPORTED = new Set(['ENOTSUP', 'EOPNOTSUPP', 'EXDEV', 'EINVAL', 'ENOSYS', 'ENOTTY']);

const state = { cancelled: false };

async function copyBig(file, progress) {
    try {
        // Constant time where the filesystem shares blocks (btrfs, XFS).
        await fs.promises.copyFile(file.src, file.dst,
                                   fs.constants.COPYFILE_EXCL | fs.constants.COPYFILE_FICLONE_FORCE);
        progress.add(0, file.size);
        return;
    } catch (err) {
        if (!CLONE_UNSUPPORTED.has(err.code)) throw err;
    }
    const from = await fs.promises.open(file.src, 'r');
    try {
        const to = await fs.promises.open(file.dst, 'w');
        try {
            const buffer = Buffer.allocUnsafe(CHUNK);
            for (;;) {
                if (state.cancelled) return;
                const { bytesRead } = await from.read(buffer, 0, CHUNK, null);
                if (bytesRead === 0) break;
                let written = 0;
                while (written < bytesRead) {
                    const r = await to.write(buffer, written, bytesRead - written);
                    written += r.bytesWritten;
                }
                progress.add(0, bytesRead);
            }
        } finally {
            await to.close();
        }
    } finally {
        await from.close();
    }
}

async function copyOne(file, progress) {
    if (file.size >= BIG_FILE) {
        await copyBig(file, progress);
        progress.add(1, 0);
    } else {
        await fs.promises.copyFile(file.src, file.dst,
                                   fs.constants.COPYFILE_EXCL | fs.constants.COPYFILE_FICLONE);
        progress.add(1, file.size);
    }
    try {
        await fs.promises.utimes(file.dst, file.atime, file.mtime);
    } catch {
        // Keeping the time is a nicety only.
    }
}

function copyError(file, err, mount, title) {
    if (err.code === 'ENOSPC' || err.code === 'EDQUOT') {
        return `Ran out of space on ${shown(mount)} while copying ${shown(title)} ` +
               `(at ${shown(file.src)}).`;
    }
    return `Can't copy ${shown(file.src)}: ${describe(err)}.`;
}

// Copies every planned file, PARALLEL at a time. The first failure stops new
// copies, waits for those under way and fails with what went wrong.
async function copyFiles(plan, progress, mount, title) {
    let next = 0;
    let failure = null;
    const worker = async () => {
        while (failure === null && !state.cancelled && next < plan.files.length) {
            const file = plan.files[next++];
            try {
                await copyOne(file, progress);
            } catch (err) {
                if (failure === null) failure = copyError(file, err, mount, title);
            }
        }
    };
    await Promise.all(Array.from({ length: Math.min(PARALLEL, plan.files.length) }, worker));
    if (failure !== null) fail(failure);
}

// Cancelling (SIGTERM from the app, Ctrl-C in a terminal) removes the package
// being made, so nothing half-made is left behind.
let making = null;

function removeMaking() {
    if (making !== null) {
        fs.rmSync(making, { recursive: true, force: true, maxRetries: 5, retryDelay: 20 });
        making = null;
    }
}

function onSignal(signal) {
    state.cancelled = true;
    try {
        removeMaking();
    } catch (err) {
        console.error(`host.mjs: could not remove the half-made package: ${describe(err)}`);
    }
    console.error(`Cancelled (${signal}).`);
    process.exit(signal === 'SIGINT' ? 130 : 143);
}

// Making the package

function createPackageFolder(folder, title) {
    for (let n = 1; n < 100000; n++) {
        const name = n === 1 ? title : `${title} ${n}`;
        const dir = path.join(folder, name);
        try {
            // Not recursive: an existing folder must fail, so nothing is reused.
            fs.mkdirSync(dir);
            return dir;
        } catch (err) {
            if (err.code !== 'EEXIST') {
                fail(`Can't create the package folder ${shown(dir)}: ${describe(err)}.`);
            }
        }
    }
    fail(`Can't find a free name for "${shown(title)}" in ${shown(folder)}.`);
}

function parseArgs(argv) {
    let input = null;
    let newCopy = false;
    for (let i = 0; i < argv.length; i++) {
        const arg = argv[i];
        if (arg === '--new-copy') {
            newCopy = true;
        } else if (arg === '--in') {
            if (input !== null) {
                fail(`${USAGE}\n--in was given twice.`);
            }
            if (i + 1 >= argv.length || argv[i + 1] === '') {
                fail(`${USAGE}\n--in needs the path of a file or folder.`);
            }
            input = argv[++i];
        } else {
            fail(`${USAGE}\nUnknown argument: ${shown(arg)}`);
        }
    }
    if (input === null) {
        fail(`${USAGE}\nNothing to package: give a file or folder with --in.`);
    }
    return { input, newCopy };
}

// ---------------------------------------------------------------------------
// Packages made before from the same, unchanged pick
//
// Each package made is remembered beside it in the packages folder (a hidden
// file, so never listed as a package nor served): the pick it came from and a
// digest of what the first walk found (names, sizes, times). A later pick of
// the same unchanged thing answers with that package instead of copying it
// again, unless --new-copy asks for a fresh one.

function recordPath(folder, dir) {
    return path.join(folder, `.${path.basename(dir)}.varnholt-source.json`);
}

function digestOf(plan, draft) {
    const hash = crypto.createHash('sha256');
    const rel = (p) => path.relative(draft, p);
    for (const d of plan.dirs) hash.update(`D\0${rel(d)}\0`);
    for (const l of plan.links) hash.update(`L\0${rel(l.dst)}\0${l.target}\0`);
    for (const f of plan.files) hash.update(`F\0${rel(f.dst)}\0${f.size}\0${f.mtime.getTime()}\0`);
    for (const s of plan.skipped) hash.update(`S\0${s}\0`);
    return hash.digest('hex');
}

function remember(folder, dir, source, digest) {
    try {
        // The folder itself, not only its name: one made anew under the
        // same name is another package.
        const st = fs.statSync(dir);
        const made = { ino: st.ino, born: st.birthtimeMs };
        fs.writeFileSync(recordPath(folder, dir),
                         JSON.stringify({ source, digest, ...made }) + '\n');
    } catch {
        // Only a shortcut for next time.
    }
}

function madeBefore(folder, source, digest) {
    let names;
    try {
        names = fs.readdirSync(folder);
    } catch {
        return null;
    }
    for (const name of names.sort()) {
        const match = /^\.(.+)\.varnholt-source\.json$/.exec(name);
        if (!match) continue;
        try {
            const record = JSON.parse(fs.readFileSync(path.join(folder, name), 'utf8'));
            const dir = path.join(folder, match[1]);
            const st = fs.lstatSync(dir);
            if (record.source === source && record.digest === digest && st.isDirectory() &&
                record.ino === st.ino && record.born === st.birthtimeMs) {
                return dir;
            }
        } catch {
            // A record without its package, or not one of ours.
        }
    }
    return null;
}


function planPick(realPick, isDir, dir, exclude) {
    const plan = newPlan();
    if (isDir) {
        const index = realOrNull(path.join(realPick, 'index.html'));
        const hasIndex = index !== null && isInside(index, realPick) && fs.statSync(index).isFile();
        let dest = dir;
        if (hasIndex) {
            dest = path.join(dir, 'site');
            plan.dirs.push(dest);
        }
        planTree(realPick, dest, { exclude, plan });
    } else {
        const site = path.join(dir, 'site');
        plan.dirs.push(site);
        const fileName = path.basename(realPick);
        plan.single = { fileName, storedName: storedNameFor(fileName), site };
        plan.addFile(realPick, path.join(site, plan.single.storedName), fs.statSync(realPick));
    }
    return plan;
}

// Picks the package folder's name before it exists, so the plan can name
// every destination; createPackageFolder then claims it (or the next free one).
function replan(plan, from, to) {
    const moved = (p) => to + p.slice(from.length);
    plan.dirs = plan.dirs.map(moved);
    for (const link of plan.links) link.dst = moved(link.dst);
    for (const file of plan.files) file.dst = moved(file.dst);
    if (plan.single) plan.single.site = moved(plan.single.site);
}

function checkPick(picked) {
    let st;
    try {
        st = fs.statSync(picked);
    } catch (err) {
        fail(`Can't package ${shown(picked)}: ${describe(err)}.`);
    }
    const realPick = realOrNull(picked);
    if (realPick === null) {
        fail(`Can't package ${shown(picked)}: it cannot be resolved.`);
    }
    if (!st.isDirectory() && !st.isFile()) {
        fail(`Can't package ${shown(picked)}: it is neither a file nor a folder.`);
    }
    try {
        fs.accessSync(realPick, fs.constants.R_OK | (st.isDirectory() ? fs.constants.X_OK : 0));
        if (st.isDirectory()) {
            fs.readdirSync(realPick);
        }
    } catch (err) {
        fail(`Can't read ${shown(picked)}: ${describe(err)}.`);
    }
    return { st, realPick };
}

function preparePackagesFolder(realPick, picked) {
    const folder = packagesFolder();
    const realFolder = realOrNull(folder);
    if (realFolder !== null && isInside(realPick, realFolder)) {
        fail(`Can't package ${shown(picked)}: it is the Varnholt packages folder or lies inside it.` +
             ' Start a package from Varnholt Control instead.');
    }
    try {
        fs.mkdirSync(folder, { recursive: true });
    } catch (err) {
        fail(`Can't create the packages folder ${shown(folder)}: ${describe(err)}.`);
    }
    const realFolderNow = realOrNull(folder);
    if (realFolderNow === null || !fs.statSync(realFolderNow).isDirectory()) {
        fail(`Can't use the packages folder ${shown(folder)}: it is not a folder.`);
    }
    return { folder, realFolderNow };
}

async function fillPackage(dir, plan, mount, title) {
    for (const d of plan.dirs) fs.mkdirSync(d);
    for (const link of plan.links) fs.symlinkSync(link.target, link.dst);
    const progress = new Progress(plan.files.length, plan.bytes);
    progress.report();
    await copyFiles(plan, progress, mount, title);
    progress.report();
    if (plan.single && plan.single.fileName !== 'index.html') {
        fs.writeFileSync(path.join(plan.single.site, 'index.html'),
                         pageFor(plan.single.fileName, plan.single.storedName), { flag: 'wx' });
    }
    try {
        fs.writeFileSync(path.join(dir, 'HOW TO SHARE.txt'), howToShare(path.basename(dir)),
                         { flag: 'wx' });
    } catch (err) {
        // A "HOW TO SHARE.txt" of the user's own stays as it is.
        if (err.code !== 'EEXIST') throw err;
    }
}

export async function makePackage(input, { newCopy = false } = {}) {
    const picked = path.resolve(input);
    const { st, realPick } = checkPick(picked);
    const { folder, realFolderNow } = preparePackagesFolder(realPick, picked);

    const title = path.basename(picked) || 'Package';
    console.error(`Packaging ${shown(picked)}`);
    const draft = path.join(folder, title);
    const plan = planPick(realPick, st.isDirectory(), draft, realFolderNow);
    const digest = digestOf(plan, draft);
    const before = newCopy ? null : madeBefore(folder, realPick, digest);
    if (before !== null) {
        console.error(`${shown(picked)} has not changed since it was packaged into ${shown(before)}`);
        return { dir: before, existing: true };
    }
    checkRoom(realFolderNow, plan.bytes, title);
    const mount = mountPointOf(realFolderNow);

    const dir = createPackageFolder(folder, title);
    making = dir;
    say(`making ${JSON.stringify(dir)}`);
    replan(plan, draft, dir);
    try {
        await fillPackage(dir, plan, mount, title);
    } catch (err) {
        // Only the folder made just now is removed; the pick is never touched.
        removeMaking();
        if (err instanceof Refusal) throw err;
        if (err.code === 'ENOSPC' || err.code === 'EDQUOT') {
            fail(`Ran out of space on ${shown(mount)} while copying ${shown(title)}.`);
        }
        fail(`Can't package ${shown(picked)}: ${describe(err)}.`);
    }
    making = null;
    remember(folder, dir, realPick, digest);
    for (const item of plan.skipped) {
        console.error(`Left out ${shown(item)}`);
    }
    console.error(`Packaged ${shown(title)} into ${shown(dir)}`);
    return { dir, existing: false };
}

async function main() {
    const argv = process.argv.slice(2);
    if (argv.length === 1 && (argv[0] === '--help' || argv[0] === '-h')) {
        console.log(USAGE);
        return 0;
    }
    process.on('SIGTERM', () => onSignal('SIGTERM'));
    process.on('SIGINT', () => onSignal('SIGINT'));
    try {
        const { input, newCopy } = parseArgs(argv);
        const { dir, existing } = await makePackage(input, { newCopy });
        say(JSON.stringify(existing ? { packageDir: dir, existing: true } : { packageDir: dir }));
        return 0;
    } catch (err) {
        // The app shows the last line of standard error, so it says what failed.
        if (err instanceof Refusal) {
            console.error(err.message);
        } else {
            console.error(err && err.stack ? err.stack : String(err));
            console.error(`host.mjs failed: ${shown(err && err.message ? err.message : err)}`);
        }
        return 1;
    }
}

const invokedDirectly =
    process.argv[1] && realOrNull(process.argv[1]) === realOrNull(fileURLToPath(import.meta.url));
if (invokedDirectly) {
    // Small files copy several at a time; Node's pool has 4 threads unless told.
    process.env.UV_THREADPOOL_SIZE ??= '8';
    main().then((code) => {
        process.exitCode = code;
    });
}
