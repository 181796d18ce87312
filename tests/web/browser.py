"""browser.py — the page in headless Chromium, driven over its DevTools
protocol (python3-websockets), with web/ served on 127.0.0.1 as
scripts/web.sh serve serves it."""
import asyncio, functools, http.server, json, os, re, shutil, subprocess, tempfile, threading

import websockets

CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                  '--disable-background-networking', '--disable-component-update', '--disable-sync',
                  '--mute-audio']


def serve(directory):
    """Serves directory on a free port of 127.0.0.1; returns (server, base URL)."""
    class Handler(http.server.SimpleHTTPRequestHandler):
        extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                          '.wasm': 'application/wasm', '.js': 'text/javascript', '.ogg': 'audio/ogg'}
        def log_message(self, *args):
            pass
    class Server(http.server.ThreadingHTTPServer):
        def handle_error(self, request, client_address):
            pass   # a page closed mid-download (the tests end pages early)
    server = Server(('127.0.0.1', 0), functools.partial(Handler, directory=directory))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, 'http://127.0.0.1:%d/' % server.server_address[1]


class Page:
    """One Chromium with one page; exceptions and console lines are kept."""

    def __init__(self, url, extra_flags=(), before=None):
        self.profile = tempfile.mkdtemp(prefix='lanternfay-chromium-')
        self.process = subprocess.Popen(
            ['chromium', *CHROMIUM_FLAGS, *extra_flags, '--user-data-dir=' + self.profile,
             '--remote-debugging-port=0', 'about:blank'],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.url = url
        self.before = before   # a coroutine function(page) run before the page is opened
        self.exceptions, self.console = [], []
        self.received_bytes = 0   # on the wire, once the network is enabled
        self.next_id = 0
        self.pending = {}

    async def __aenter__(self):
        endpoint = None
        while endpoint is None:
            line = await asyncio.get_running_loop().run_in_executor(None, self.process.stderr.readline)
            if not line:
                raise RuntimeError('chromium ended before it listened')
            match = re.search(r'DevTools listening on (ws://\S+)', line)
            endpoint = match and match.group(1)
        self.socket = await websockets.connect(endpoint, max_size=64 * 1024 * 1024)
        self.reader = asyncio.create_task(self._read())
        target = await self.send('Target.createTarget', url='about:blank')
        session = await self.send('Target.attachToTarget', targetId=target['targetId'], flatten=True)
        self.session = session['sessionId']
        await self.send('Runtime.enable', session=True)
        await self.send('Page.enable', session=True)
        if self.before:
            await self.before(self)
        await self.send('Page.navigate', session=True, url=self.url)
        return self

    async def emulate_line(self, megabits, latency_ms):
        """A viewer's line speed, with a cold cache, from the next page on."""
        await self.send('Network.enable', session=True)
        await self.send('Network.setCacheDisabled', session=True, cacheDisabled=True)
        await self.send('Network.emulateNetworkConditions', session=True, offline=False, latency=latency_ms,
                        downloadThroughput=megabits * 1e6 / 8, uploadThroughput=megabits * 1e6 / 8)

    async def __aexit__(self, *exc):
        self.reader.cancel()
        await self.socket.close()
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)

    async def _read(self):
        async for text in self.socket:
            message = json.loads(text)
            if 'id' in message and message['id'] in self.pending:
                self.pending.pop(message['id']).set_result(message)
            elif message.get('method') == 'Runtime.exceptionThrown':
                details = message['params']['exceptionDetails']
                self.exceptions.append(details.get('exception', {}).get('description') or details.get('text'))
            elif message.get('method') == 'Network.loadingFinished':
                self.received_bytes += message['params']['encodedDataLength']
            elif message.get('method') == 'Runtime.consoleAPICalled':
                args = message['params']['args']
                self.console.append(' '.join(str(a.get('value', a.get('description', ''))) for a in args))

    async def send(self, method, session=False, **params):
        self.next_id += 1
        message = {'id': self.next_id, 'method': method, 'params': params}
        if session:
            message['sessionId'] = self.session
        future = asyncio.get_running_loop().create_future()
        self.pending[self.next_id] = future
        await self.socket.send(json.dumps(message))
        reply = await future
        if 'error' in reply:
            raise RuntimeError('%s: %s' % (method, reply['error']))
        return reply['result']

    async def evaluate(self, expression):
        """The value of a JavaScript expression in the page (promises awaited)."""
        result = await self.send('Runtime.evaluate', session=True, expression=expression, awaitPromise=True,
                                 returnByValue=True)
        if 'exceptionDetails' in result:
            raise RuntimeError('%s: %s' % (expression, result['exceptionDetails'].get('exception', {})
                                           .get('description', result['exceptionDetails'].get('text'))))
        return result['result'].get('value')

    async def wait_for_state(self, states, timeout=60.0):
        """Waits until window.lanternfay.state is one of states; returns it."""
        loop = asyncio.get_running_loop()
        deadline = loop.time() + timeout
        while loop.time() < deadline:
            state = await self.evaluate('window.lanternfay ? window.lanternfay.state : "no page"')
            if state in states:
                return state
            await asyncio.sleep(0.1)
        raise RuntimeError('the page stayed "%s", not %s; console: %s' % (state, states, self.console[-5:]))
