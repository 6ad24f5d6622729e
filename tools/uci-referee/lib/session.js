'use strict';
// One engine process driven through node-uci's Engine, with a line reader of our own on the same process.
// The library sends the commands and parses what comes back; our reader keeps the whole transcript with
// arrival times, so that every line can be judged strictly and a stalled engine fails at a deadline instead
// of hanging the run.

const { Engine } = require('node-uci');

class EngineGone extends Error {}
class Timeout extends Error {}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// Resolves with the promise's value, or rejects with Timeout after ms.
function withDeadline(promise, ms, what) {
  let timer;
  const limit = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Timeout(`no ${what} within ${ms} ms`)), ms);
  });
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

class Session {
  constructor(enginePath) {
    this.engine = new Engine(enginePath);
    this.lines = [];        // { text, at } as received
    this.transcript = [];   // "> sent" and "< received", in order
    this.stderr = '';
    this.exit = null;       // { code, signal } once the process has ended
    this.quitting = false;
    this.waiters = [];
  }

  // Spawns the engine through the library's init() ("uci" ... "uciok"). The library spawns the process
  // synchronously inside init(), so our reader is attached before the first byte can arrive.
  async start(ms) {
    const engine = this.engine;
    const write = engine.write.bind(engine);
    engine.write = (command) => {
      this.transcript.push(`> ${command}`);
      if (this.exit) return;
      write(command);
    };
    const ready = engine.init();
    const proc = engine.proc;
    let backlog = '';
    proc.stdout.on('data', (chunk) => {
      backlog += chunk;
      let n;
      while ((n = backlog.indexOf('\n')) >= 0) {
        const text = backlog.slice(0, n).replace(/\r$/, '');
        backlog = backlog.slice(n + 1);
        this.lines.push({ text, at: Date.now() });
        this.transcript.push(`< ${text}`);
      }
      this.wake();
    });
    proc.stderr.on('data', (chunk) => {
      this.stderr += chunk;
    });
    proc.stdin.on('error', () => {});  // a dead engine is reported by the exit handler
    proc.on('exit', (code, signal) => {
      this.exit = { code, signal };
      this.wake();
    });
    proc.on('error', (err) => {
      this.exit = { code: null, signal: null, error: err.message };
      this.wake();
    });
    await withDeadline(ready, ms, '"uciok"');
  }

  write(command) {
    this.engine.write(command);
  }

  mark() {
    return this.lines.length;
  }

  wake() {
    const pending = this.waiters;
    this.waiters = [];
    for (const w of pending) this.poll(w);
  }

  poll(w) {
    for (let i = w.from; i < this.lines.length; i++) {
      if (w.pred(this.lines[i].text)) {
        clearTimeout(w.timer);
        w.resolve(i);
        return;
      }
    }
    w.from = this.lines.length;
    if (this.exit && !this.quitting) {
      clearTimeout(w.timer);
      w.reject(new EngineGone(`engine process ended (${describeExit(this.exit)})`));
      return;
    }
    this.waiters.push(w);
  }

  // Index of the first line at or after `from` that satisfies pred.
  waitLine(pred, from, ms, what) {
    return new Promise((resolve, reject) => {
      const w = { pred, from, resolve, reject };
      w.timer = setTimeout(() => {
        this.waiters = this.waiters.filter((x) => x !== w);
        reject(new Timeout(`no ${what} within ${ms} ms`));
      }, ms);
      this.poll(w);
    });
  }

  // Sends "quit" through the library and waits for the process to end.
  async quit(ms) {
    this.quitting = true;
    if (this.exit) return this.exit;
    const ended = new Promise((resolve) => this.engine.proc.once('exit', () => resolve()));
    this.engine.quit().catch(() => {});
    await withDeadline(ended, ms, 'end of the process after "quit"');
    return this.exit;
  }

  kill() {
    if (this.engine.proc && !this.exit) this.engine.proc.kill('SIGKILL');
  }

  tail(n) {
    return this.transcript.slice(-n);
  }
}

function describeExit(exit) {
  if (exit.error) return exit.error;
  return exit.signal ? `signal ${exit.signal}` : `exit code ${exit.code}`;
}

module.exports = { Session, EngineGone, Timeout, sleep, withDeadline, describeExit };
