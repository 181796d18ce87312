#!/usr/bin/python3
"""play.py — the page played in real time in headless Chromium.

With sound allowed without a click, 21 s of the show from 24 s on (across
the change from scene 1 to scene 2 at 30.5 s): the music must be running,
the show's clock (its last clock pass) within 20 ms of the music's position
from the first second on, and what each scene achieved is printed. Without
that permission the page must wait for a click and say so, with no
uncaught error. Escape ends the show to the closing screen, and a data file
the server does not have is named on the page.

  tests/web/play.py WEB_OUT
"""
import asyncio, os, statistics, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser

FROM_S, PLAY_S, TOLERANCE_MS = 24, 21, 20.0


def check(condition, text, failures):
    print(('ok   ' if condition else 'FAIL ') + text)
    if not condition:
        failures.append(text)


async def real_time(base, failures):
    url = base + 'index.html?autoplay&from=%d' % FROM_S
    async with browser.Page(url, ['--autoplay-policy=no-user-gesture-required']) as page:
        state = await page.wait_for_state(['playing', 'ready', 'failed'])
        check(state == 'playing', 'the page starts by itself when sound needs no click (%s)' % state, failures)
        if state != 'playing':
            return
        print('page ready to start %.0f ms after load' % await page.evaluate('lanternfay.readyMs'))
        await asyncio.sleep(PLAY_S)
        samples = await page.evaluate('lanternfay.samples')
        await page.send('Input.dispatchKeyEvent', session=True, type='keyDown', key='Escape', code='Escape',
                        windowsVirtualKeyCode=27)
        await page.wait_for_state(['ended'], 10)
        figures = await page.evaluate('lanternfay.figures')
        heard = [s for s in samples if s['audio'] is not None]
        check(len(heard) == len(samples) > 0, 'the music plays (%d of %d animation frames have its position)'
              % (len(heard), len(samples)), failures)
        if not heard:
            return
        span_s = (heard[-1]['audio'] - heard[0]['audio']) / 1000
        check(span_s > PLAY_S - 2, 'the music ran %.1f s in %d s' % (span_s, PLAY_S), failures)
        scenes = sorted({s['scene'] for s in samples})
        check(scenes[:2] == [1, 2], 'scenes played: %s' % scenes, failures)
        settled = [s for s in heard if s['now'] - heard[0]['now'] >= 1000]
        gaps = [s['clock'] - s['audio'] for s in settled]
        worst = max(gaps, key=abs)
        check(abs(worst) <= TOLERANCE_MS,
              'clock minus music position after the first second: median %.1f ms, worst %.1f ms (%d frames)'
              % (statistics.median(gaps), worst, len(gaps)), failures)
        for figure in figures:
            if figure['animation_frames'] and figure['seconds'] > 0:
                print('scene %d: %.1f animation frames a second, %d of %d frames of the show\'s pace drawn'
                      ' (%.1f %%), %.2f ms a frame' % (
                          figure['scene'], figure['animation_frames'] / figure['seconds'], figure['frames'],
                          figure['frames_due'], 100 * figure['frames'] / max(1, figure['frames_due']),
                          figure['frame_ms']))
        status = await page.evaluate('document.getElementById("status").textContent')
        check('ended' in status, 'Escape ends the show to its closing screen ("%s")' % status, failures)
        check(not page.exceptions, 'no uncaught error (%s)' % page.exceptions, failures)


async def needs_click(base, failures):
    async with browser.Page(base + 'index.html?autoplay') as page:
        state = await page.wait_for_state(['playing', 'ready', 'failed'])
        await asyncio.sleep(1)
        state = await page.evaluate('lanternfay.state')
        status = await page.evaluate('document.getElementById("status").textContent')
        check(state == 'ready' and 'click' in status.lower(),
              'without permission for sound the page waits for a click: %s, "%s"' % (state, status), failures)
        check(not page.exceptions, 'no uncaught error (%s)' % page.exceptions, failures)


async def missing_file(base, failures):
    async with browser.Page(base + 'index.html') as page:
        state = await page.wait_for_state(['ready', 'failed'])
        status = await page.evaluate('document.getElementById("status").textContent')
        check(state == 'failed' and 'data/cube.raw' in status, 'a missing data file is named: "%s"' % status, failures)


def without_a_file(web_out, folder, missing):
    """folder: web_out again (links), but data/missing left out."""
    for entry in os.listdir(web_out):
        if entry != 'data':
            os.symlink(os.path.join(web_out, entry), os.path.join(folder, entry))
    os.mkdir(os.path.join(folder, 'data'))
    for entry in os.listdir(os.path.join(web_out, 'data')):
        if entry != missing:
            os.symlink(os.path.join(web_out, 'data', entry), os.path.join(folder, 'data', entry))


def main():
    web_out = os.path.abspath(sys.argv[1])
    server, base = browser.serve(web_out)
    failures = []
    try:
        asyncio.run(needs_click(base, failures))
        asyncio.run(real_time(base, failures))
        with tempfile.TemporaryDirectory() as folder:
            without_a_file(web_out, folder, 'cube.raw')
            broken, broken_base = browser.serve(folder)
            asyncio.run(missing_file(broken_base, failures))
            broken.shutdown()
    finally:
        server.shutdown()
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
