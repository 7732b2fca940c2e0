#!/usr/bin/env python3
"""The page in headless Chromium, opened from disk, against the tools on the same inputs.

Usage: page_test.py SITE TOOLS OUT: SITE holds index.html, TOOLS the release build's encipher,
decipher and crack, OUT gets the screenshots and the figures. Each case types or opens a text,
runs it, saves the result and checks it byte for byte against the tool's (for crack: the same
best key), the order line, the table's reading order and every message; any console error or
request beyond the site's own files fails the run.
"""
import json
import pathlib
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

ROOT = pathlib.Path(__file__).resolve().parent.parent
EXAMPLE = ROOT / "examples" / "Crypt.txt"
PLAIN = (ROOT / "examples" / "plain-utf8.txt").read_text(encoding="utf-8")
SHORT = "Осенью маленький город у реки просыпался поздно. Туман лежал над водой"


@dataclass
class Case:
    name: str
    way: str  # encipher, decipher, crack
    text: str = ""  # typed, or the name of a file made in setup()
    key: str = ""
    crib: str = ""
    length: str = ""
    save: str = "-1"  # the page's encoding choice: the input's, 0 Windows-1251, 1 UTF-8
    lang: str = "en"
    enter: bool = False  # the key field's Enter rather than the button
    phone: bool = False
    timed: str = ""  # the figure this run's time is
    words: bool = False  # --words


CASES = [
    Case("encipher-typed", "encipher", text=SHORT, key="загадка"),
    Case("decipher-example", "decipher", text="@Crypt.txt", key="ЗАГАДКА", enter=True),
    Case("decipher-utf8-to-1251", "decipher", text="@crypt-utf8.txt", key="ЗАГАДКА", save="0"),
    Case("decipher-wrong-key", "decipher", text="@Crypt.txt", key="КЛЮЧ"),
    Case("encipher-cut-key-utf8", "encipher", text="@plain-1251.txt", key="ПЕРЕСТАНОВКА",
         save="1"),
    Case("encipher-no-form", "encipher", text=SHORT, key="ключ中"),
    Case("crack-short", "crack", text="@short.txt", timed="crack of a 59-letter message"),
    Case("crack-crib-length", "crack", text="@short.txt", crib="город", length="5"),
    Case("crack-example-russian", "crack", text="@Crypt.txt", lang="ru", phone=True),
    Case("decipher-russian", "decipher", text="@Crypt.txt", key="ЗАГАДКА", lang="ru"),
    Case("decipher-words", "decipher", text="@Crypt.txt", key="ЗАГАДКА", words=True),
    Case("decipher-10mb", "decipher", text="@big.txt", key="ЗАГАДКА",
         timed="a 10 MB file deciphered"),
]


def tool(tools, name, *args, cwd):
    done = subprocess.run([str(tools / name), *args], cwd=cwd, capture_output=True, check=False,
                          env={"LC_ALL": "C.UTF-8", "PATH": "/usr/bin:/bin"})
    return done.stdout.decode("utf-8"), done.stderr.decode("utf-8")


def setup(tools, folder):
    """The files the cases open, made by the tools themselves."""
    (folder / "Crypt.txt").write_bytes(EXAMPLE.read_bytes())
    (folder / "plain-1251.txt").write_bytes(PLAIN.encode("cp1251"))
    (folder / "plain.txt").write_text(PLAIN, encoding="utf-8")
    (folder / "short-plain.txt").write_text(SHORT, encoding="utf-8")
    tool(tools, "encipher", "-q", "-k", "загадка", "plain.txt", "crypt-utf8.txt", cwd=folder)
    crypt = (folder / "crypt-utf8.txt").read_bytes()
    (folder / "crypt-utf8.txt").write_bytes(b"\xef\xbb\xbf" + crypt)
    tool(tools, "encipher", "-q", "-k", "город", "short-plain.txt", "short.txt", cwd=folder)
    big = PLAIN * (10_500_000 // len(PLAIN.encode("utf-8")) + 1)  # a ciphertext of 10 MB
    (folder / "big-plain.txt").write_text(big, encoding="utf-8")
    tool(tools, "encipher", "-q", "-k", "загадка", "big-plain.txt", "big.txt", cwd=folder)


def tool_run(tools, case, folder):
    """What the tool gives for the case: its output bytes, standard output and error."""
    name = case.text[1:] if case.text.startswith("@") else "typed.txt"
    if not case.text.startswith("@"):
        (folder / name).write_text(case.text, encoding="utf-8")
    args = ["--table"]
    if case.way == "crack":
        args += [f"--crib={case.crib}"] if case.crib else []
        args += [f"--length={case.length}"] if case.length else []
    else:
        args += ["-k", case.key]
    args += {"-1": [], "0": ["-e", "windows-1251"], "1": ["-e", "utf-8"]}[case.save]
    args += ["--words"] if case.words else []
    out = folder / "tool-out.txt"
    out.unlink(missing_ok=True)
    stdout, stderr = tool(tools, case.way, *args, name, out.name, cwd=folder)
    return (out.read_bytes() if out.exists() else None), stdout, stderr, name


def browser(downloads):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for a in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
              "--disable-component-update", "--disable-sync", "--no-first-run",
              "--user-data-dir=" + tempfile.mkdtemp(), "--window-size=1000,1400"):
        options.add_argument(a)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL", "performance": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.setDownloadBehavior",
                           {"behavior": "allow", "downloadPath": str(downloads)})
    driver.get("about:blank")
    driver.get_log("performance")  # the new tab's own requests, before the page
    return driver


def attribute_set(driver, element_id, name):
    return WebDriverWait(driver, 60).until(
        lambda d: d.find_element(By.ID, element_id).get_attribute(name))


def drive(driver, site, case, folder, downloads):
    """Runs the case in the page; returns what it showed and the file it saved."""
    element = driver.find_element
    driver.get((site / "index.html").as_uri())
    ready_ms = float(WebDriverWait(driver, 60).until(
        lambda d: d.find_element(By.TAG_NAME, "body").get_attribute("data-ready-ms")))
    Select(element(By.ID, "lang")).select_by_value(case.lang)
    if case.text.startswith("@"):
        element(By.ID, "file").send_keys(str(folder / case.text[1:]))
        WebDriverWait(driver, 60).until(lambda d: d.find_element(By.ID, "file-info").text)
    else:
        element(By.ID, "text").send_keys(case.text)
    element(By.ID, "key").send_keys(case.key)
    element(By.ID, "crib").send_keys(case.crib)
    Select(element(By.ID, "length")).select_by_value(case.length)
    Select(element(By.ID, "save-encoding")).select_by_value(case.save)
    if case.words:
        element(By.ID, "words").click()
    if case.enter:
        element(By.ID, "key").send_keys(Keys.ENTER)
    else:
        element(By.ID, case.way).click()
    ms = float(attribute_set(driver, "status", "data-ms"))
    if case.phone:
        driver.set_window_size(390, 844)
    for old in downloads.iterdir():
        old.unlink()
    if element(By.ID, "save").is_enabled():
        element(By.ID, "save").click()
    saved = None
    for _ in range(600):
        files = [f for f in downloads.iterdir() if not f.name.endswith(".crdownload")]
        if files or not element(By.ID, "save").is_enabled():
            saved = files[0].read_bytes() if files else None
            break
        time.sleep(0.05)
    shown = driver.execute_script("""
        const texts = (selector) => [...document.querySelectorAll(selector)].map(e => e.textContent);
        return {order: document.getElementById('order').textContent,
                notes: texts('#notes li'), reading: texts('#table ol.reading li'),
                candidates: texts('#candidates tbody .use-key'),
                crack_label: document.getElementById('crack').textContent,
                result: document.getElementById('result').value};""")
    return shown, saved, ms, ready_ms


def check(case, shown, saved, tool_output, stdout, stderr, name):
    faults = []
    if saved != tool_output:
        faults.append(f"saved {len(saved or b'')} bytes, the tool wrote {len(tool_output or b'')}")
    messages = [line.split(": ", 1)[1] for line in stderr.splitlines()
                if line.startswith(case.way + ": ")]
    page_name = name if case.text.startswith("@") else "the text"
    if case.lang == "en":
        expected = [m.replace(name, page_name) for m in messages]
        if shown["notes"] != expected:
            faults.append(f"notes {shown['notes']}, the tool said {expected}")
        reading = [line.strip() for line in stderr.splitlines() if ": column " in line]
        if shown["reading"] != reading:
            faults.append(f"reading order {shown['reading']}, the tool drew {reading}")
    elif len(shown["notes"]) != len(messages) or shown["crack_label"] == "Crack" or (
            messages and shown["notes"] == messages):
        faults.append(f"not in Russian: {shown['crack_label']}, {shown['notes']}")
    if case.way == "crack":
        best = stdout.splitlines()[1].split()[0] if len(stdout.splitlines()) > 1 else None
        if not shown["candidates"] or shown["candidates"][0] != best:
            faults.append(f"best key {shown['candidates'][:1]}, the tool's {best}")
    else:
        order = stdout.splitlines()[0] if stdout else ""
        if tool_output is not None and shown["order"] != order:
            faults.append(f"order line {shown['order']!r}, the tool's {order!r}")
    return faults


def use_candidate(driver, shown):
    """A click on the best candidate deciphers with its key: the same text as crack's."""
    driver.find_element(By.CSS_SELECTOR, "#candidates tbody .use-key").click()
    WebDriverWait(driver, 60).until(
        lambda d: d.find_element(By.ID, "order").text.startswith("INDEX SORT COMPLEATE"))
    key = driver.find_element(By.ID, "key").get_attribute("value")
    result = driver.find_element(By.ID, "result").get_attribute("value")
    return [] if key == shown["candidates"][0] and result == shown["result"] else [
        f"the candidate's click gave key {key!r} and another text"]


def browser_faults(driver, site):
    faults = [f"console: {e['message'][:300]}" for e in driver.get_log("browser")
              if e["level"] == "SEVERE"]
    for entry in driver.get_log("performance"):
        message = json.loads(entry["message"])["message"]
        if message["method"] != "Network.requestWillBeSent":
            continue
        url = message["params"]["request"]["url"]
        if not (url.startswith(site.as_uri() + "/") or url.startswith("blob:file://")):
            faults.append(f"request: {url[:200]}")
    return faults


def main():
    site, tools, out = (pathlib.Path(a).resolve() for a in sys.argv[1:4])
    shots = out / "screenshots"
    shots.mkdir(parents=True, exist_ok=True)
    folder = pathlib.Path(tempfile.mkdtemp())
    downloads = folder / "downloads"
    downloads.mkdir()
    setup(tools, folder)
    driver = browser(downloads)
    failed = 0
    figures = {"site bytes": sum(f.stat().st_size for f in site.iterdir())}
    ready = []
    try:
        for number, case in enumerate(CASES, 1):
            tool_output, stdout, stderr, name = tool_run(tools, case, folder)
            driver.set_window_size(1000, 1400)
            shown, saved, ms, ready_ms = drive(driver, site, case, folder, downloads)
            ready.append(ready_ms)
            driver.save_screenshot(str(shots / f"{number:02}-{case.name}.png"))
            faults = check(case, shown, saved, tool_output, stdout, stderr, name)
            if shown["candidates"]:
                faults += use_candidate(driver, shown)
            faults += browser_faults(driver, site)
            if case.timed:
                figures[case.timed + " (ms)"] = ms
            print(f"{'ok' if not faults else 'FAIL'}: {case.name} ({ms:.0f} ms)")
            for fault in faults:
                print("    " + fault)
            failed += bool(faults)
    finally:
        driver.quit()
    figures["ready from disk (ms), best and worst of the runs"] = [min(ready), max(ready)]
    (out / "figures.json").write_text(json.dumps(figures, indent=1) + "\n")
    print(json.dumps(figures))
    # Times depend on the machine and its load: told, not failed on.
    times = [min(ready) < 1000, figures["crack of a 59-letter message (ms)"] < 1000,
             figures["a 10 MB file deciphered (ms)"] < 3000]
    if not all(times):
        print("note: a time is over its aim (ready 1 s, crack 1 s, 10 MB 3 s); is the machine busy?")
    small = figures["site bytes"] <= 6 * 1024 * 1024
    if not small:
        print("FAIL: the site is over 6 MiB")
    return 1 if failed or not small else 0


if __name__ == "__main__":
    sys.exit(main())
