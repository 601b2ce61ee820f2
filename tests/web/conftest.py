"""The page served by `bash scripts/web.sh` and driven by chromedriver in headless
Chromium. Everything is reached through 127.0.0.1, never `localhost`, which a
bare root (a container, a fresh debootstrap) may not resolve. The server and
the driver each run in a process group of their own, and the group is ended on
every path, a failed start included, so nothing outlives the tests."""
import contextlib
import json
import os
import pathlib
import signal
import socket
import subprocess
import time
import urllib.request

import pytest
from selenium import webdriver
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

ROOT = pathlib.Path(__file__).resolve().parents[2]
LOGS = ROOT / "build-web"
# Flags that keep headless Chromium off the network and quick to start as root.
# The driver talks to it through a pipe: through a port it would connect to
# `localhost`.
CHROMIUM_FLAGS = ("--remote-debugging-pipe", "--headless=new", "--no-sandbox", "--disable-gpu",
                  "--disable-dev-shm-usage", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--window-size=800,1000")


STONES = ("return [...document.querySelectorAll('#board [data-stone]')]"
          ".map(c => [+c.dataset.x, +c.dataset.y, +c.dataset.stone])")


def idle(page, errors=""):
    """Waits until no turn is running; checks the error line; returns the stones by cell."""
    WebDriverWait(page, 30).until(
        lambda p: p.find_element(By.ID, "board").get_attribute("aria-busy") == "false")
    assert page.find_element(By.ID, "errors").text == errors
    return {(x, y): s for x, y, s in page.execute_script(STONES)}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def stop(process):
    """Ends the process and everything it started."""
    with contextlib.suppress(ProcessLookupError):
        os.killpg(process.pid, signal.SIGTERM)
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        with contextlib.suppress(ProcessLookupError):
            os.killpg(process.pid, signal.SIGKILL)
        process.wait()


def tail(path, lines=20):
    with contextlib.suppress(OSError):
        return "\n".join(path.read_text(errors="replace").splitlines()[-lines:])
    return "(no log)"


def wait_for(url, process, seconds, what, log=None):
    """Polls url until it answers; fails with what to check (and the end of
    the process's log) when it never does."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            with urllib.request.urlopen(url, timeout=5) as reply:
                return reply.read()
        except OSError as error:
            if process.poll() is not None or time.monotonic() > deadline:
                status = process.poll()
                pytest.fail(f"{what} (exit status {status}, last error: {error})"
                            + (f"; its log:\n{tail(log)}" if log else ""))
            time.sleep(0.25)


@pytest.fixture(scope="session")
def page():
    LOGS.mkdir(exist_ok=True)
    with contextlib.ExitStack() as cleanup:
        port = free_port()
        server = subprocess.Popen(["bash", "scripts/web.sh"], cwd=ROOT, stdin=subprocess.DEVNULL,
                                  env={**os.environ, "PORT": str(port)}, start_new_session=True)
        cleanup.callback(stop, server)
        url = "http://127.0.0.1:%d/" % port
        # The first start builds the site.
        wait_for(url, server, 600, "the page's server did not start: see the output of bash scripts/web.sh above")

        # The driver's own output and log, this run's only, for the failure messages.
        driver_port, driver_log = free_port(), LOGS / "chromedriver.log"
        with open(driver_log, "wb") as log:
            chromedriver = subprocess.Popen(
                ["chromedriver", "--port=%d" % driver_port, "--log-level=INFO"],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        cleanup.callback(stop, chromedriver)
        status = json.loads(wait_for(
            "http://127.0.0.1:%d/status" % driver_port, chromedriver, 60,
            "chromedriver did not start: check that the packages chromium and chromium-driver are "
            "installed and that `chromedriver --version` runs", driver_log))
        assert status["value"]["ready"], status
        options = webdriver.ChromeOptions()
        for flag in CHROMIUM_FLAGS:
            options.add_argument(flag)
        try:
            driver = webdriver.Remote("http://127.0.0.1:%d" % driver_port, options=options)
        except Exception as error:  # selenium raises several kinds here
            pytest.fail(f"Chromium did not start under chromedriver: {error}\ncheck that "
                        f"`chromium --headless=new --no-sandbox --dump-dom about:blank` runs; "
                        f"chromedriver's log:\n{tail(driver_log)}")
        cleanup.callback(driver.quit)
        driver.base_url = url
        driver.get(url)
        yield driver
