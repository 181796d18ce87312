#!/usr/bin/python3
"""frames.py — the page's pictures and tables against the native build's.

In headless Chromium the page plays the show on virtual time and each moment
is read back from its canvas; the native frame tool writes the same moments
(same cadence) as PNGs. Every pixel must match. Then each scene's chapter,
jumped to in an order that goes back and forth, must give the frame tool's
picture of that scene played on its own. The browser build's table dump, run
in a page of its own, must match the native dump byte for byte.

  tests/web/frames.py NATIVE_BUILD WEB_BUILD WEB_OUT
"""
import asyncio, base64, hashlib, os, subprocess, sys, tempfile, time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser

# Show times in seconds: each scene's fade-in and its middle, most scenes'
# fade-out, the busiest 3D moments (scenes 4 and 7), the music's fade (195).
MOMENTS = [1, 14, 29.5, 31, 45, 54.5, 57, 70, 82, 95, 99.5, 102, 112, 125, 150, 160, 170, 181.5, 186, 195, 197.9]
# A frame every 40 ms of show time, on both sides: the frames differ from the
# show's 5 ms pace (the trails and fade-ins count frames) but the same on
# both, and the run stays short.
CADENCE_MS = 40
# Chapters: each scene's start, jumped to from wherever the page stands, and
# the picture this far into it.
CHAPTER_ORDER = [5, 2, 8, 1, 7, 3, 6, 4]
CHAPTER_AT_S = 4


def native_pixels(native_build, out, moments, scene=None):
    command = [os.path.join(native_build, 'tools/frames/lanternfay-frames'), '--cadence', str(CADENCE_MS), '--out', out]
    if scene:
        command += ['--scene', str(scene)]
    for moment in moments:
        command += ['--at', str(moment)]
    env = dict(os.environ, SDL_VIDEODRIVER='dummy', SDL_AUDIODRIVER='dummy')
    subprocess.run(command, cwd=native_build, env=env, check=True, stdout=subprocess.DEVNULL)
    pixels = {}
    for name in sorted(os.listdir(out)):
        if not name.endswith('.png'):
            continue
        decoded = subprocess.run([os.path.join(native_build, 'tests/golden/lanternfay-png-pixels'),
                                  os.path.join(out, name)], check=True, capture_output=True).stdout
        pixels[name] = decoded[decoded.index(b'\n') + 1:]
    return [pixels[name] for name in sorted(pixels)]   # the names sort by show time


async def browser_pixels(web_out):
    server, base = browser.serve(web_out)
    try:
        async with browser.Page(base + 'index.html?test') as page:
            await page.wait_for_state(['ready', 'failed'])
            problem = await page.evaluate('lanternfay.problem')
            if problem:
                raise RuntimeError(problem)
            await page.evaluate('lanternfay.begin(%d)' % CADENCE_MS)
            pictures = []
            started = time.monotonic()
            for moment in MOMENTS:
                await page.evaluate('lanternfay.playTo(%d)' % round(moment * 1000))
                pictures.append(base64.b64decode(await page.evaluate('lanternfay.pixels()')))
            print('browser: %d moments played in %.1f s' % (len(MOMENTS), time.monotonic() - started))
            chapters = {}
            for scene in CHAPTER_ORDER:
                if not await page.evaluate('lanternfay.chapter(%d, %d)' % (scene, CADENCE_MS)):
                    raise RuntimeError('chapter %d did not start' % scene)
                start_ms = await page.evaluate('Module._lanternfay_scene_start_ms(%d)' % scene)
                await page.evaluate('lanternfay.playTo(%d)' % (start_ms + CHAPTER_AT_S * 1000))
                chapters[scene] = base64.b64decode(await page.evaluate('lanternfay.pixels()'))
            if page.exceptions:
                raise RuntimeError('uncaught errors in the page: %s' % page.exceptions)
            return pictures, [chapters[scene] for scene in sorted(chapters)]
    finally:
        server.shutdown()


def compare_pictures(native, web, moments, label='%6.1f s'):
    failures = 0
    for moment, a, b in zip(moments, native, web):
        differing = sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3]) if a != b else 0
        if len(a) != len(b) or differing:
            failures += 1
            print(('FAIL ' + label + ': %d of %d pixels differ') % (moment, differing, len(a) // 3))
        else:
            print(('ok   ' + label + ': %d pixels identical') % (moment, len(a) // 3))
    return failures == 0 and len(native) == len(web) == len(moments)


def native_tables(native_build):
    with tempfile.TemporaryDirectory() as out:
        env = dict(os.environ, SDL_VIDEODRIVER='dummy', SDL_AUDIODRIVER='dummy')
        subprocess.run([os.path.join(native_build, 'tests/cross/lanternfay-tables'), out], cwd=native_build,
                       env=env, check=True, stdout=subprocess.DEVNULL)
        return {name: hashlib.sha256(open(os.path.join(out, name), 'rb').read()).hexdigest()
                for name in os.listdir(out)}


async def browser_tables(web_build, native_build):
    """The dump of the browser build, run in a page over the native build's
    data (the show's page, over its pack, is held to the frame tool above)."""
    with tempfile.TemporaryDirectory() as folder:
        page_dir = os.path.join(web_build, 'tables-page')
        for name in os.listdir(page_dir):
            os.symlink(os.path.join(page_dir, name), os.path.join(folder, name))
        os.mkdir(os.path.join(folder, 'data'))
        names = sorted(os.listdir(os.path.join(native_build, 'data')))
        for name in names:
            os.symlink(os.path.join(native_build, 'data', name), os.path.join(folder, 'data', name))
        with open(os.path.join(folder, 'data', 'files.txt'), 'w') as listing:
            listing.write(''.join(name + '\n' for name in names))
        server, base = browser.serve(folder)
        try:
            async with browser.Page(base + 'index.html') as page:
                for _ in range(100):
                    if await page.evaluate('typeof dumpTables') == 'function':
                        break
                    await asyncio.sleep(0.1)
                return await page.evaluate('dumpTables()')
        finally:
            server.shutdown()


def compare_tables(native, web):
    names = sorted(native)
    differing = [n for n in names if native[n] != web.get(n)] + sorted(set(web) - set(native))
    print('tables: %d of %d identical%s' % (len(names) - len(differing), len(names),
                                            ''.join('; differs: ' + n for n in differing)))
    return not differing and len(names) > 0


def main():
    native_build, web_build, web_out = (os.path.abspath(path) for path in sys.argv[1:4])
    tables_ok = compare_tables(native_tables(native_build), asyncio.run(browser_tables(web_build, native_build)))
    with tempfile.TemporaryDirectory() as out:
        native = native_pixels(native_build, out, MOMENTS)
    native_chapters = []
    for scene in sorted(CHAPTER_ORDER):
        with tempfile.TemporaryDirectory() as out:
            native_chapters += native_pixels(native_build, out, [CHAPTER_AT_S], scene)
    web, web_chapters = asyncio.run(browser_pixels(web_out))
    pictures_ok = compare_pictures(native, web, MOMENTS)
    chapters_ok = compare_pictures(native_chapters, web_chapters, sorted(CHAPTER_ORDER),
                                   'chapter %%d, %d s in' % CHAPTER_AT_S)
    sys.exit(0 if tables_ok and pictures_ok and chapters_ok else 1)


if __name__ == '__main__':
    main()
