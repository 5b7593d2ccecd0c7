#!/usr/bin/env python3
"""telvane.exe under Wine against ta-sim on a pseudo-terminal mapped as COM1:
what the user meets on Windows, read from outside the program: the call log,
the window's control texts and the registry."""
import argparse
import glob
import os
import re
import sys
import tempfile
import unittest

import winerig

NO_NUMBER = "番号情報なし".encode("shift_jis")
TIME = rb"\d{4}/\d\d/\d\d \d\d:\d\d:\d\d"
TEXTS = ["Port", "Interval", "DateTime", "LastDateTime"] + ["Magic%d" % i for i in range(11)]
ARGS = None


class WindowsProgram(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.TemporaryDirectory(prefix="telvane-wine-")
        self.wine = winerig.Wine(self.root.name, ARGS.shim, ARGS.wintext)
        self.adapter = winerig.TaSim(ARGS.ta_sim, self.wine.ports, "--byte-delay", "1")
        self.program = winerig.Program(self.wine, ARGS.telvane)

    def tearDown(self):
        if self.program.process:
            self.program.process.kill()
        self.adapter.quit()
        self.wine.stop()
        self.root.cleanup()

    def labels(self):
        """The texts of the window's static controls, in creation order."""
        return [line.split("\t", 1)[1] for line in self.wine.window("texts")
                if line.startswith("Static\t")]

    def hook_log(self):
        """What the hook command wrote, in the program's configuration folder."""
        text = ""
        for path in glob.glob(os.path.join(self.wine.root, "prefix", "drive_c", "users", "*",
                                           "AppData", "Roaming", "Maruvo", "Telvane",
                                           "hook.log")):
            with open(path, "rb") as log:
                raw = log.read()
            text += raw.decode("utf-8") if raw.isascii() else raw.decode("cp932", "replace")
        return text

    def ring_between_polls(self, caller):
        sent = self.adapter.count("sent ")
        self.assertTrue(self.adapter.wait_for("sent ", count=sent + 1), "no reply")
        self.adapter.send("caller " + caller)

    def expect_quiet_polls(self, polls):
        lines = len(self.program.log_lines())
        commands = self.adapter.count("command ")
        self.assertTrue(self.adapter.wait_for("command ", count=commands + polls + 1))
        self.assertEqual(len(self.program.log_lines()), lines, "a call logged for no change")

    def test_polls_logs_shows_saves_and_finds_a_call_made_while_closed(self):
        # The hook prints what it is told, into hook.log.
        self.wine.write_settings({"Port": "COM1", "Interval": " 1秒", "LogRing": 1,
                                  "HookCommand": "cmd /c set TELVANE_"})
        self.assertTrue(self.program.start(), "no Telvane window")

        # The first answered query ever: no earlier poll, no number information.
        self.assertTrue(self.program.wait_for_lines(1), "no first answered query")
        first = self.program.log_lines()[0]
        self.assertRegex(first, b"^," + TIME + b"," + re.escape(NO_NUMBER) + b"\r\n$")
        self.assertEqual(self.wine.window("state"), ["0 1"], "shown, not minimised, on top")
        self.expect_quiet_polls(1)

        # A new caller between two polls: exactly one line, Shift_JIS, CR LF.
        self.ring_between_polls("0312345678")
        self.assertTrue(self.program.wait_for_lines(2), "new caller not logged")
        call = re.fullmatch(b"(" + TIME + b"),(" + TIME + b"),0312345678\r\n",
                            self.program.log_lines()[1])
        self.assertIsNotNone(call, self.program.log_lines())
        self.assertLessEqual(first[1:20], call[1])
        self.assertLessEqual(call[1], call[2])
        at = call[2].decode()

        # What the window shows until the next query: number, detection time,
        # status and the two captions.
        # Japan's numbering is known on Windows too: the area at a glance, the
        # formatted number and the area in what the hook is told.
        shown = ["0312345678", at, "番号変化", "調査間隔", "ポート", "東京"]
        winerig.wait_until(lambda: self.labels() == shown, timeout=3)
        self.assertEqual(self.labels(), shown)
        self.assertTrue(winerig.wait_until(
            lambda: "TELVANE_DISPLAY=03-1234-5678" in self.hook_log()), self.hook_log())
        self.assertIn("TELVANE_AREA=東京", self.hook_log())
        texts = self.wine.window("texts")
        for shown in ["ComboBox\tCOM1", "ComboBox\t 1秒", "Button\t即刻", "Button\t全部",
                      "Button\t待機", "Button\t着信履歴をﾌｧｲﾙ"]:
            self.assertIn(shown, texts)
        self.expect_quiet_polls(2)
        self.assertEqual(len(self.program.log_lines()), 2)

        # Standby: the wait button minimises; the next new caller restores.
        self.wine.window("click", "待機")
        self.assertEqual(self.wine.window("state"), ["1 1"], "not minimised")
        self.ring_between_polls("0398765432")
        self.assertTrue(self.program.wait_for_lines(3), "caller in standby not logged")
        self.assertTrue(winerig.wait_until(lambda: self.wine.window("state") == ["0 1"], 3),
                        "not restored by the new caller")
        at = self.program.log_lines()[2][20:39].decode()

        # Closing saves the seventeen values with their kinds.
        self.assertEqual(self.program.close(), 0)
        saved = self.wine.read_settings()
        self.assertEqual(sorted(saved), sorted(TEXTS + ["LogRing", "Dream", "HookCommand"]))
        for name in TEXTS:
            self.assertEqual(saved[name][0], "REG_SZ", name)
        self.assertEqual(saved["LogRing"], ("REG_DWORD", 1))
        self.assertEqual(saved["Dream"], ("REG_DWORD", 0))
        self.assertEqual(saved["Port"][1], "COM1")
        self.assertEqual(saved["Interval"][1], " 1秒")
        self.assertEqual(saved["DateTime"][1], at)
        self.assertLessEqual(at, saved["LastDateTime"][1])
        self.assertRegex(saved["Magic10"][1], r"^RECEIVE CALLING PARTY +\= 0398765432$")

        # A call while the program is not running is its first query's news.
        self.adapter.send("caller 0455556666")
        self.assertTrue(self.program.start(), "no window after the restart")
        self.assertTrue(self.program.wait_for_lines(4), "call while closed not found")
        last = self.program.log_lines()[3]
        before = saved["LastDateTime"][1].encode()
        self.assertRegex(last, b"^" + re.escape(before) + b"," + TIME + b",0455556666\r\n$")
        self.assertEqual(self.program.close(), 0)

if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("--telvane", "--wintext", "--shim", "--ta-sim"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
