#!/usr/bin/python3
"""web_figures.py — what the browser build achieves in headless Chromium,
beside the native build in the same run (figures, not a test).

  bench/web_figures.py NATIVE_BUILD WEB_OUT [--real-time SECONDS]

Frame cost: the whole show on virtual time, one frame every 40 ms, by the
native frame tool and by the page (mean milliseconds a frame, per scene).
With --real-time: that many seconds of the show played from its start with
the music, per scene the animation frames a second, the share of the show's
pace drawn, and how far the show's clock was from the music's position.
"""
import asyncio, os, re, statistics, subprocess, sys, time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'web'))
import browser


def native_costs(native_build):
    env = dict(os.environ, SDL_VIDEODRIVER='dummy', SDL_AUDIODRIVER='dummy')
    out = subprocess.run([os.path.join(native_build, 'tools/frames/lanternfay-frames'), '--cadence', '40',
                          '--scene', '8', '--from-show-start'], cwd=native_build, env=env, check=True,
                         capture_output=True, text=True).stdout
    return {int(m.group(1)): float(m.group(2)) for m in re.finditer(r'scene (\d): \d+ frames rendered, mean ([\d.]+)', out)}


async def web_costs(base):
    async with browser.Page(base + 'index.html?test') as page:
        await page.wait_for_state(['ready'])
        await page.evaluate('lanternfay.begin(40)')
        await page.evaluate('lanternfay.playTo(198500)')
        figures = await page.evaluate('JSON.parse(Module.UTF8ToString(Module._lanternfay_report()))')
        return {f['scene']: f['frame_ms'] for f in figures}


async def real_time(base, seconds):
    async with browser.Page(base + 'index.html?autoplay', ['--autoplay-policy=no-user-gesture-required']) as page:
        await page.wait_for_state(['playing'])
        ready = await page.evaluate('lanternfay.readyMs')
        await asyncio.sleep(seconds)
        samples = await page.evaluate('lanternfay.samples')
        figures = await page.evaluate('JSON.parse(Module.UTF8ToString(Module._lanternfay_report()))')
        return ready, samples, figures, page.console


def main():
    native_build, web_out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    real = float(sys.argv[sys.argv.index('--real-time') + 1]) if '--real-time' in sys.argv else 0
    server, base = browser.serve(web_out)
    native = native_costs(native_build)
    web = asyncio.run(web_costs(base))
    print('frame cost, mean ms (one frame every 40 ms of the show):')
    for scene in range(1, 9):
        print('  scene %d: native %.2f, browser %.2f, %.1f x' % (scene, native[scene], web[scene],
                                                                 web[scene] / native[scene]))
    if real:
        ready, samples, figures, console = asyncio.run(real_time(base, real))
        print('real time, %.0f s from the show\'s start; page ready to start %.0f ms after load:' % (real, ready))
        for f in figures:
            if f['animation_frames'] > 1 and f['seconds'] > 0:
                print('  scene %d: %.1f animation frames a second, %d of %d frames of the pace (%.1f %%), %.2f ms a frame'
                      % (f['scene'], f['animation_frames'] / f['seconds'], f['frames'], f['frames_due'],
                         100 * f['frames'] / max(1, f['frames_due']), f['frame_ms']))
        heard = [s for s in samples if s['audio'] is not None and s['now'] - samples[0]['now'] >= 1000]
        for scene in range(1, 9):
            gaps = sorted(s['clock'] - s['audio'] for s in heard if s['scene'] == scene)
            if gaps:
                print('  scene %d: clock minus music position: median %.1f ms, 5th..95th percentile %.1f..%.1f ms,'
                      ' worst %.1f ms' % (scene, statistics.median(gaps), gaps[len(gaps) // 20],
                                          gaps[-len(gaps) // 20 - 1], max(gaps, key=abs)))
    server.shutdown()


if __name__ == '__main__':
    main()
