#!/usr/bin/env python3
"""End-to-end tests of the ulmora command: real processes over a copy of the
host with fixture modules (tests/fixtures/cli), a real pseudo-terminal
(script(1)), the JSON Schema checked with python3-jsonschema, promtool and a
real prometheus-node-exporter.

Usage: cli_test.py --root DIR --schema FILE --exe NAME [--emulator A,B] [--only windows]
"""
import argparse
import json
import os
import re
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

ARGS = None
ODD_TEXT = "tab\there\nnext line \\ back\rslash \"quoted\" 100%"
ODD_BYTES = b"bad \xff\xfe utf-8 \xc3\x28 end \xe2\x82\xac"


def host_command(root, *args):
    command = [os.path.join(root, ARGS.exe)] + list(args)
    if ARGS.emulator:
        command = ARGS.emulator.split(",") + command
    return command


def run(*args, root=None, env=None, stdout=subprocess.PIPE, timeout=120):
    environment = dict(os.environ)
    environment.pop("NO_COLOR", None)
    environment.update(env or {})
    return subprocess.run(host_command(root or ARGS.root, *args), stdout=stdout,
                          stderr=subprocess.PIPE, env=environment, timeout=timeout)


def copy_tree(destination):
    # Keep the copy's modes: the module folder check looks at them.
    target = os.path.join(destination, "ulmora")
    shutil.copytree(ARGS.root, target, symlinks=True)
    for folder, dirs, _ in os.walk(target):
        os.chmod(folder, 0o755)
    return target


class Json(unittest.TestCase):
    """--json: valid against the published schema, values carried exactly."""

    @classmethod
    def setUpClass(cls):
        cls.result = run("run", "--json")
        cls.text = cls.result.stdout.decode("utf-8")
        cls.document = json.loads(cls.text)

    def test_document_follows_the_schema(self):
        import jsonschema
        with open(ARGS.schema, encoding="utf-8") as handle:
            schema = json.load(handle)
        jsonschema.validate(self.document, schema)
        self.assertEqual(self.result.returncode, 0, self.result.stderr)
        self.assertEqual(self.document["schema"], "ulmora.report/1")

    def test_probes_in_run_order_with_their_own_keys(self):
        probes = self.document["probes"]
        self.assertEqual([p["name"] for p in probes], ["fixture-machine", "fixture-odd"])
        machine, odd = probes
        self.assertEqual((machine["id"], machine["version"]), (0x46584D41, 2))
        self.assertEqual((odd["id"], odd["version"]), (0x46584F44, 5))
        self.assertEqual(machine["status"], "ok")
        self.assertEqual(odd["status"], "partial: some values are odd")
        self.assertIn("memory.total_bytes", machine["values"])
        self.assertTrue(all(k.startswith("odd.") for k in odd["values"]), odd["values"])
        self.assertEqual(self.document["machine"]["memory_total_bytes"], 17179869184)
        self.assertEqual(self.document["machine"]["cpu_model"], "Fixture CPU @ 3.00GHz")

    def test_values_round_trip(self):
        values = self.document["probes"][1]["values"]
        cases = [
            ("odd.text", ODD_TEXT),                      # tab, newline, CR, quote, backslash
            ("odd.largest_bytes", 18446744073709551615),  # stays an exact integer
            ("odd.speed_bytes_per_second", 1234567.891),
            ("odd.tiny_seconds", 1.0e-300),
            ("odd.items_count", [1, 2]),                 # several values: an array
            ("odd.word_count", "not a number"),          # unit word, but text: a string
        ]
        for key, expected in cases:
            with self.subTest(key=key):
                self.assertEqual(values[key], expected)
                self.assertIs(type(values[key]), type(expected))

    def test_invalid_utf8_is_replaced_and_kept_as_hex(self):
        odd = self.document["probes"][1]
        self.assertEqual(odd["values"]["odd.bytes"],
                         "bad \ufffd\ufffd utf-8 \ufffd( end \u20ac")
        raw = odd["raw_values"]["odd.bytes"]
        self.assertEqual(bytes.fromhex(raw["values_hex"][0]), ODD_BYTES)
        self.assertEqual(bytes.fromhex(raw["key_hex"]), b"odd.bytes")
        self.assertEqual(set(odd["raw_values"]), {"odd.bytes"})

    def test_judge_findings(self):
        (judge,) = self.document["judges"]
        self.assertEqual((judge["name"], judge["title"]), ("Fixture", "Fixture profile"))
        self.assertEqual((judge["answer"], judge["summary"]), (0, "all requirements met"))
        memory = judge["findings"][0]
        self.assertEqual(memory["key"], "memory.total")
        self.assertEqual(memory["measured"], 17179869184)
        self.assertEqual((memory["minimum"], memory["recommended"]), (4294967296, 8589934592))
        self.assertEqual(memory["tolerance_ratio"], 0.05)
        self.assertEqual((self.document["answer"], self.document["status"]), (0, "OK"))


class MonitoringPlugin(unittest.TestCase):
    """--format=plugin: one status line, perfdata, exit 0-3."""

    def test_line_and_status_per_answer(self):
        line = re.compile(r"^ULMORA (OK|WARNING|CRITICAL|UNKNOWN) - ([^|\n]+) \| (.*)\n$")
        rows = [("0", 0, "OK", True), ("1", 1, "WARNING", True), ("2", 2, "CRITICAL", True),
                ("3", 3, "UNKNOWN", False)]
        for answer, status, word, measured in rows:
            with self.subTest(answer=answer):
                result = run("run", "--format=plugin", env={"ULMORA_FIXTURE_ANSWER": answer})
                self.assertEqual(result.returncode, status, result.stderr)
                text = result.stdout.decode("utf-8")
                match = line.match(text)
                self.assertTrue(match, text)
                self.assertEqual(match.group(1), word)
                perfdata = match.group(3).split(" ")
                memory = "'memory.total'=17179869184B;8589934592:;4294967296:"
                self.assertEqual(memory in perfdata, measured, perfdata)
                for item in perfdata:
                    self.assertRegex(item, r"^'[^']+'=[-0-9.]+(B|s|%|c)?(;[-0-9.:~@]*){0,4}$")


class Plain(unittest.TestCase):
    def test_values_escaped_one_line_each(self):
        result = run("run", "--plain")
        lines = result.stdout.split(b"\n")
        self.assertIn(b"odd.text\ttab\\there\\nnext line \\\\ back\\rslash \"quoted\" 100%", lines)
        self.assertIn(b"odd.items_count\t1", lines)
        self.assertIn(b"odd.items_count\t2", lines)
        self.assertIn(b"odd.bytes\t" + ODD_BYTES, lines)
        self.assertTrue(all(line.count(b"\t") == 1 for line in lines if line), lines)


class Terminal(unittest.TestCase):
    """The human report and progress through a real pseudo-terminal."""

    def through_terminal(self, env, *args):
        command = " ".join("'%s'" % part for part in host_command(ARGS.root, "run", *args))
        environment = dict(os.environ)
        environment.pop("NO_COLOR", None)
        environment.update(env)
        result = subprocess.run(["script", "-qefc", command, "/dev/null"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                env=environment, timeout=120)
        return result.returncode, result.stdout.decode("utf-8", "replace")

    def test_colour_and_progress_on_a_terminal(self):
        status, text = self.through_terminal({"TERM": "xterm"})
        self.assertEqual(status, 0, text)
        self.assertIn("\x1b[32m", text)           # green marks
        self.assertIn("[1/2] fixture-machine done, running fixture-odd", text)
        self.assertIn("Fixture OS 1.0", text)
        self.assertIn("16.0 GiB", text)
        self.assertIn("Physical memory", text)
        self.assertRegex(text, r"Result: .*OK")

    def test_colour_rules(self):
        rows = [({"TERM": "xterm", "NO_COLOR": "1"}, (), False, True),
                ({"TERM": "xterm", "NO_COLOR": ""}, (), True, True),
                ({"TERM": "dumb"}, (), False, False),
                ({"TERM": "dumb"}, ("--color=always",), True, False),
                ({"TERM": "xterm"}, ("--color=never",), False, True)]
        for env, args, colour, progress in rows:
            with self.subTest(env=env, args=args):
                status, text = self.through_terminal(env, *args)
                self.assertEqual(status, 0, text)
                self.assertEqual("\x1b[32m" in text, colour, text)
                self.assertEqual("running fixture-odd" in text, progress, text)

    def test_nothing_of_it_when_piped(self):
        result = run("run", env={"TERM": "xterm"})
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotIn(b"\x1b", result.stdout)
        self.assertEqual(result.stderr, b"")
        text = result.stdout.decode("utf-8")
        self.assertIn("fixture-odd", text)
        self.assertIn("tab\\there\\nnext line", text)   # control characters shown escaped
        self.assertIn("1.23 MB/s", text)
        self.assertIn("minimum 4.00 GiB, recommended 8.00 GiB, tolerance 5.0 %", text)
        self.assertEqual(text.strip().splitlines()[-1][:len("Result: OK")], "Result: OK")


class Prometheus(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="ulmora-prom-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.path = os.path.join(self.folder, "ulmora.prom")
        result = run("run", "--prometheus", self.path, "--json",
                     env={"ULMORA_FIXTURE_ANSWER": "1"})
        self.assertEqual(result.returncode, 1, result.stderr)
        with open(self.path, encoding="utf-8") as handle:
            self.text = handle.read()

    def test_promtool_accepts_it(self):
        check = subprocess.run(["promtool", "check", "metrics"], input=self.text.encode(),
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        self.assertEqual(check.returncode, 0, check.stdout.decode() + self.text)
        for sample in ["ulmora_info{version=", "ulmora_memory_total_bytes 17179869184",
                       'ulmora_probe_duration_seconds{probe="fixture-odd"}',
                       'ulmora_requirement_status{requirement="memory.total",tier="minimum"} 1',
                       'ulmora_requirement_status{requirement="memory.total",tier="recommended"} 0',
                       'ulmora_odd_items{index="1"} 2',
                       "ulmora_answer 1", "ulmora_last_run_timestamp_seconds "]:
            self.assertIn(sample, self.text)
        self.assertEqual(os.listdir(self.folder), ["ulmora.prom"])  # no temporary left

    def test_node_exporter_serves_it(self):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        exporter = subprocess.Popen(
            ["prometheus-node-exporter", "--web.listen-address=127.0.0.1:%d" % port,
             "--collector.disable-defaults", "--collector.textfile",
             "--collector.textfile.directory=" + self.folder],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            body = None
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline and body is None:
                try:
                    with urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port,
                                                timeout=5) as response:
                        body = response.read().decode("utf-8")
                except OSError:
                    time.sleep(0.2)
            self.assertIsNotNone(body, "node_exporter did not answer")
            self.assertRegex(body, r"(?m)^node_textfile_scrape_error 0$")
            self.assertRegex(body, r"(?m)^ulmora_answer 1$")
            self.assertIn("ulmora_memory_total_bytes 1.7179869184e+10", body)
        finally:
            exporter.terminate()
            try:
                exporter.wait(timeout=10)
            except subprocess.TimeoutExpired:
                exporter.kill()
                exporter.wait(timeout=10)


class ExitStatus(unittest.TestCase):
    """Every exit status from a real situation."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="ulmora-exit-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def test_judges_answer(self):
        for answer in ["0", "1", "2", "3"]:
            with self.subTest(answer=answer):
                result = run("run", env={"ULMORA_FIXTURE_ANSWER": answer})
                self.assertEqual(result.returncode, int(answer), result.stderr)

    def test_usage_error_is_one_line_and_a_hint(self):
        for args in [("--bogus",), ("run", "--format=xml"), ("run", "--json", "--plain")]:
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual(result.returncode, 64)
                lines = result.stderr.decode().splitlines()
                self.assertEqual(len(lines), 2, lines)
                self.assertIn("ulmora --help", lines[1])
                self.assertEqual(result.stdout, b"")

    def test_throwing_plug_ins(self):
        log = os.path.join(self.folder, "run.log")
        rows = [({"ULMORA_FIXTURE_THROW": "std"},
                 "during the probe 'fixture-odd' (probe 2 of 2, after 'fixture-machine')",
                 "the odd probe gave up"),
                ({"ULMORA_FIXTURE_THROW": "other"}, "during the probe 'fixture-odd'",
                 "not a std::exception"),
                ({"ULMORA_FIXTURE_JUDGE_THROW": "1"}, "while the judges were judging",
                 "the fixture judge refused")]
        for env, where, what in rows:
            with self.subTest(env=env):
                result = run("run", "--log=" + log, env=env)
                self.assertEqual(result.returncode, 70, result.stderr)
                message = result.stderr.decode()
                self.assertIn(where, message)
                self.assertIn(what, message)
                with open(log, encoding="utf-8") as handle:
                    logged = handle.read()
                # Complete up to the failure: the first probe's success, then ours.
                self.assertIn("Name=fixture-machine Version=2) ran with success.", logged)
                self.assertIn(what, logged)

    def test_stdout_full(self):
        with open("/dev/full", "wb") as full:
            result = run("run", "--json", stdout=full)
        self.assertEqual(result.returncode, 74, result.stderr)
        self.assertIn(b"cannot write the report", result.stderr)

    def test_unwritable_log_stops_before_running(self):
        result = run("run", "--log", os.path.join(self.folder, "missing", "run.log"))
        self.assertEqual(result.returncode, 74)
        self.assertIn(b"cannot open the log file", result.stderr)
        self.assertEqual(result.stdout, b"")

    def test_no_modules(self):
        empty = os.path.join(self.folder, "empty")
        os.mkdir(empty)
        shutil.copy2(os.path.join(ARGS.root, ARGS.exe), empty)
        result = run("run", root=empty)
        self.assertEqual(result.returncode, 66, result.stderr)
        self.assertIn(("looked for *.tst and *.intr in " + os.path.realpath(empty)).encode(),
                      result.stderr)

    def test_folder_others_can_write(self):
        root = copy_tree(self.folder)
        probes = os.path.join(root, "probes")
        os.chmod(probes, 0o777)
        result = run("run", root=root)
        self.assertEqual(result.returncode, 66, result.stderr)
        self.assertIn((os.path.realpath(probes) + "/ can be written by other users").encode(),
                      result.stderr)
        self.assertEqual(result.stdout, b"")
        allowed = run("--allow-insecure-modules", "run", root=root)
        self.assertEqual(allowed.returncode, 0, allowed.stderr)

    def test_module_that_does_not_load(self):
        root = copy_tree(self.folder)
        broken = os.path.join(root, "probes", "broken.tst")
        with open(os.path.join(root, "probes", "fixture-machine.tst"), "rb") as good:
            data = good.read()
        with open(broken, "wb") as handle:
            handle.write(data[:200])
        result = run("run", root=root)
        self.assertEqual(result.returncode, 70, result.stderr)
        message = result.stderr.decode()
        self.assertIn("cannot load the module " + os.path.realpath(broken), message)
        self.assertRegex(message, r"broken\.tst: .+")   # the loader's reason
        self.assertIn("move it out of that folder", message)

    def test_version(self):
        result = run("--version")
        self.assertEqual(result.returncode, 0)
        self.assertRegex(result.stdout.decode(),
                         r"^ulmora \d+\.\d+\.\d+\nlibrary Ulmora \d+\.\d+\nplug-in API 110\n$")


class Install(unittest.TestCase):
    """The installed layout: the executable beside its modules, bin/ulmora a
    relative link that the library resolves before it searches."""

    def test_installed_host_finds_its_modules_through_the_link(self):
        if not ARGS.build_dir:
            self.skipTest("no build folder given")
        prefix = tempfile.mkdtemp(prefix="ulmora-install-")
        self.addCleanup(shutil.rmtree, prefix, True)
        install = subprocess.run([ARGS.cmake, "--install", ARGS.build_dir, "--prefix", prefix],
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        self.assertEqual(install.returncode, 0, install.stdout.decode())
        link = os.path.join(prefix, "bin", "ulmora")
        self.assertEqual(os.readlink(link), "../lib/ulmora/ulmora")
        self.assertTrue(os.path.isdir(os.path.join(prefix, "lib", "ulmora", "probes")))
        self.assertTrue(os.path.isfile(os.path.join(prefix, "share", "man", "man1", "ulmora.1")))
        # A module dropped into bin/ must not be picked up: only the real
        # executable's folder is searched.
        shutil.copy2(os.path.join(ARGS.root, "probes", "fixture-odd.tst"),
                     os.path.join(prefix, "bin"))
        result = subprocess.run([link, "--json"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=120)
        self.assertIn(result.returncode, range(0, 64), result.stderr)
        names = [p["name"] for p in json.loads(result.stdout)["probes"]]
        self.assertTrue(names, result.stderr)
        self.assertNotIn("fixture-odd", names)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--exe", default="ulmora")
    parser.add_argument("--emulator", default="")
    parser.add_argument("--only", default="")
    parser.add_argument("--build-dir", default="")
    parser.add_argument("--cmake", default="cmake")
    ARGS, rest = parser.parse_known_args()
    loader = unittest.TestLoader()
    if ARGS.only == "windows":
        suite = unittest.TestSuite([loader.loadTestsFromTestCase(Json),
                                    loader.loadTestsFromTestCase(MonitoringPlugin)])
    else:
        suite = loader.loadTestsFromModule(sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
