"""Tests of the TRANSYT report conversion script, run with Debian's /usr/bin/python3 (bs4, lxml)."""

import contextlib
import io
import os
import pathlib
import runpy
import sys
import tempfile
import unittest
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", "..", "..", ".."))
SCRIPT = os.path.join(ROOT, "src", "plugins", "Protocols", "Velmora", "resources", "transyt2velmora.py")
DATA = os.path.join(ROOT, "tests", "data", "transyt")
EXAMPLE = os.path.join(ROOT, "examples", "transyt", "old-town.html")

sys.path.insert(0, os.path.dirname(SCRIPT))
import transyt2velmora as t2v  # noqa: E402
from lxml import etree  # noqa: E402

SECTION_TABLES = ("Run Summary", "Stage Sequences", "Resultant Stages", "Analysis Set Details")


def table(header, rows, tbody=True):
    inner = "\n".join(["<TR>" + "".join("<TH>%s" % h for h in header)]
                      + ["<TR>" + "".join("<TD>%s" % c for c in row) for row in rows])
    return "<TABLE border=1>%s\n</TABLE>" % ("<TBODY>\n%s\n</TBODY>" % inner if tbody else inner)


def section(title, start, cycle, description, stages, tbody=True, omit=()):
    """One section; `stages` maps a controller to rows (stage, start, shift, length), in row order,
    or to (sequence text, rows) when the sequence is not the rows' stages in order."""
    sequence = {c: s[0] if isinstance(s, tuple) else ",".join(str(r[0]) for r in s) for c, s in stages.items()}
    rows = {c: s[1] if isinstance(s, tuple) else s for c, s in stages.items()}
    tables = {
        "Run Summary": table(["Set", "Description", "Network", "Start Time", "Cycle"],
                             [[1, description, "Net", start, cycle]], tbody),
        "Stage Sequences": table(["Controller", "Stream", "Sequence", "Stages"],
                                 [[c, 1, 1, sequence[c]] for c in stages], tbody),
        "Resultant Stages": table(["Controller", "Stage", "Stream", "Phases", "Min", "Start", "Offset", "Duration"],
                                  [[c, r[0], 1, "A", 7, r[1], r[2], r[3]] for c in stages for r in rows[c]], tbody),
        "Analysis Set Details": table(["ID", "Description"], [[1, description]], tbody),
    }
    return "\n".join(["<P class=tablenameLevel0>%s" % title] + [
        "<P class=tablenameLevel1>%s\n%s" % (name.replace(" ", "&nbsp;"), tables[name])
        for name in SECTION_TABLES if name not in omit])


def report(sections, area_id=7, name="North", controllers=("101",), controller_table=True):
    """A report in the layout TRANSYT exports: title table, contents, controller table, sections.
    `sections` are (title, section html)."""
    title = ("<TABLE><TR><TD><TABLE><TR><TD>Area Name:<TD>%s<TR><TD>Project:<TD>x.tp"
             "<TR><TD>Area ID:<TD>%s</TABLE></TABLE>" % (name, area_id))
    contents = "<DIV class=contents>%s</DIV>" % "".join(
        "<P class=Contents0><A class=Contents0 href='#s%d'>%s</A>" % (i, s[0]) for i, s in enumerate(sections))
    stream = ("<P class=tablenameLevel1>Controller Stream\n" + table(["Controller", "Stream"], [[c, 1] for c in controllers])
              if controller_table else "")
    return "<HTML><BODY>\n%s\n%s\n%s\n%s\n</BODY></HTML>" % (
        title, contents, stream, "\n".join(html for _, html in sections))


def one_section(stages, cycle=60, description="x", **kwargs):
    return report([("S", section("S", "07:00", cycle, description, stages, **kwargs))], controllers=list(stages))


class InTemporaryDir(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def write(self, name, data):
        pathlib.Path(self.path(name)).write_bytes(data.encode("utf-8") if isinstance(data, str) else data)

    def read(self, name):
        return pathlib.Path(self.path(name)).read_bytes()


class Conversion(InTemporaryDir):
    def convert(self, html):
        """The Area element and the printed lines."""
        self.write("report.html", html)
        out = io.StringIO()
        area = t2v.convert(self.path("report.html"), out)
        return area, out.getvalue().splitlines()

    @staticmethod
    def phases(area, state_id, controller):
        program = area.find("States/State[@id='%s']/Controller[@id='%s']/Program" % (state_id, controller))
        return [(p.text, int(p.get("start")), int(p.get("length")), int(p.get("full_length")))
                for p in program.findall("Phase")]

    def test_day_cards(self):
        cases = [
            ("Monday A, Tuesday B, Wednesday A: cards numbered by first appearance",
             [("A", "{Velmora:w1,3}"), ("B", "{Velmora:w2}")], "1,2,1,3,3,3,3", [[("1", "01:00")], [("2", "02:00")], []]),
            ("equal lists share a card, times in section order",
             [("A", "{Velmora:w6,7}"), ("B", "{Velmora:w1,2,3,4,5,6,7}"), ("C", "{Velmora:w1,2,3,4,5}")],
             "1,1,1,1,1,2,2", [[("2", "02:00"), ("3", "03:00")], [("1", "01:00"), ("2", "02:00")]]),
        ]
        for what, codes, distribution, cards in cases:
            with self.subTest(what):
                area, _ = self.convert(report([(t, section(t, "0%d:00" % i, 60, code, {"101": [(1, 0, 0, 25)]}))
                                               for i, (t, code) in enumerate(codes, 1)]))
                found = area.findall("Calendar/DayCards/DayCard")
                self.assertEqual([card.get("id") for card in found], [str(i) for i in range(1, len(found) + 1)])
                self.assertEqual(area.findtext("Calendar/WeekDistribution"), distribution)
                self.assertEqual([[(t.get("state_id"), t.text) for t in card.findall("Time")] for card in found], cards)

    def test_full_lengths(self):
        # rows: controller -> (stage, start, shift, length) in report order; expected (id, start, length, full)
        cases = [
            ("start before the previous one wraps round the cycle", 90,
             {"1": [(1, 60, 0, 25), (2, 0, 0, 20), (3, 26, 0, 28)]},
             {"1": [("1", 60, 25, 30), ("2", 0, 20, 26), ("3", 26, 28, 34)]}),
            ("equal starts give 0, which counts as known", 60, {"1": [(1, 0, 0, 5), (2, 0, 0, 30), (3, 40, 0, 15)]},
             {"1": [("1", 0, 5, 0), ("2", 0, 30, 40), ("3", 40, 15, 20)]}),
            ("rows of the next controller do not end the previous one's last phase", 60,
             {"1": [(1, 0, 0, 20), (2, 30, 0, 20)], "2": [(1, 10, 7, 20), (2, 40, 7, 15)]},
             {"1": [("1", 0, 20, 30), ("2", 30, 20, 30)], "2": [("1", 10, 20, 30), ("2", 40, 15, 30)]}),
            ("phases in sequence order, not row order", 60, {"1": ("3,1,2", [(1, 0, 0, 15), (2, 20, 0, 15), (3, 40, 0, 15)])},
             {"1": [("3", 40, 15, 20), ("1", 0, 15, 20), ("2", 20, 15, 20)]}),
            ("a stage twice in the sequence: each time its own row", 90,
             {"1": [(1, 0, 0, 20), (2, 30, 0, 20), (1, 60, 0, 20)]},
             {"1": [("1", 0, 20, 30), ("2", 30, 20, 30), ("1", 60, 20, 30)]}),
            ("a stage once in the sequence but in two rows: the later row", 60,
             {"1": ("1,2", [(1, 0, 0, 20), (2, 30, 0, 20), (2, 50, 0, 10)])},
             {"1": [("1", 0, 20, 30), ("2", 50, 10, 30)]}),
        ]
        for what, cycle, stages, expected in cases:
            with self.subTest(what):
                area, _ = self.convert(one_section(stages, cycle))
                for controller, phases in expected.items():
                    self.assertEqual(self.phases(area, 1, controller), phases)

    def test_cycle_shift_from_the_controllers_last_row(self):
        area, _ = self.convert(one_section({"1": [(1, 0, 3, 20), (2, 30, 9, 20)], "2": [(1, 0, 4, 25), (2, 30, 4, 25)]}))
        self.assertEqual([p.get("cycle_shift") for p in area.findall("States/State/Controller/Program")], ["9", "4"])

    def test_weekday_codes(self):
        error = "ошибка в \"%s\": индекс %s выходит за разрешённые пределы"
        cases = [
            ("{Velmora:w1,x,-2,8}", [1], [error % ("{Velmora:w1,x,-2,8}", i) for i in ("x", "-2", "8")]),
            ("{Velmora: W 6, 7 }", [6, 7], []),
            ("{velmora:w1}", None, []),          # the marker is case-sensitive
            ("Peak {Velmora:w1}", None, []),     # only at the start
        ]
        for description, days, messages in cases:
            with self.subTest(description):
                out = io.StringIO()
                self.assertEqual(t2v.weekdays_of(description, out), days)
                self.assertEqual(out.getvalue().splitlines(), messages)

    def test_missing_part_raises(self):
        good = {"1": [(1, 0, 0, 25), (2, 30, 0, 25)]}
        later = ("Later", section("Later", "12:00", 60, "x", good))
        # A section's tables are not borrowed from the next section.
        cases = [(name, report([("First", section("First", "07:00", 60, "x", good, omit=(name,))), later],
                               controllers=["1"])) for name in SECTION_TABLES]
        cases += [
            ("Controller Stream", report([("S", section("S", "07:00", 60, "x", good))], controller_table=False)),
            ("фазы 3", one_section({"1": ("1,2,3", good["1"])})),
            ("фазы 1", one_section({"1": ("1,2,1", good["1"])})),
            ("у контроллера 1 пустая последовательность фаз", one_section({"1": (" , ", good["1"])})),
            ("начало раздела", one_section(good).replace("<P class=tablenameLevel0>S", "<P class=tablenameLevel0>X")),
            ("пуста", one_section(good).replace("<TR><TD>1<TD>x<TD>Net<TD>07:00<TD>60", "")),
        ]
        for what, html in cases:
            with self.subTest(what):
                with self.assertRaisesRegex(t2v.ReportError, what):
                    self.convert(html)

    def test_text(self):
        html = report([("Утро", section("Утро", "07:00", 60, "{Velmora:w1}", {"5": [(1, 0, 2, 25), (2, 30, 2, 25)]}))],
                      area_id=" 12 ", name="Центр &amp; <b>юг</b>", controllers=["5"])
        area, _ = self.convert(html)
        text = t2v.area_text(area)
        text.encode("ascii")
        self.assertTrue(text.startswith('<Area id="12" name="&#1062;&#1077;&#1085;&#1090;&#1088; &amp; &#1102;&#1075;">'),
                        text[:80])
        self.assertIn('<Program type="2" cycle_length="60" cycle_shift="2">1,2<Phase start="0" length="25" '
                      'full_length="30">1</Phase>', text)
        self.assertEqual([[c.tag for c in e] for e in (area, area.find("Calendar"))],
                         [["Controllers", "Calendar", "States"], ["WeekDistribution", "DayCards"]])

    def test_tables_with_and_without_tbody_read_alike(self):
        stages = {"1": [(1, 0, 0, 25), (2, 30, 0, 25)], "2": [(1, 50, 3, 20), (2, 10, 3, 30)]}
        texts = [t2v.area_text(self.convert(one_section(stages, description="{Velmora:w2}", tbody=tbody))[0])
                 for tbody in (True, False)]
        self.assertEqual(texts[0], texts[1])

    def test_contents_in_nested_divisions(self):
        # A link counts once for each division around it, outermost division first;
        # nesting deeper than any parser's recursion limit reads alike.
        sections = [(t, section(t, "07:00", 60, "x", {"5": [(1, 0, 2, 25)]})) for t in ("A", "B", "C")]
        html = report(sections, controllers=["5"])
        contents = html[html.index("<DIV class=contents>"):html.index("</DIV>") + len("</DIV>")]
        link = "<P class=Contents0><A class=Contents0 href='#s%d'>%s</A>"
        nested = ("<DIV><DIV class=contents>" + "<DIV>" * 3000 + link % (0, "A") + link % (1, "B") + "</DIV>" * 3000
                  + link % (2, "C") + "</DIV></DIV>")
        area, lines = self.convert(html.replace(contents, nested))
        states = [line.split('"')[1].split(" (")[0] for line in lines if line.startswith("обработка состояния")]
        self.assertEqual(states, ["A", "B", "C"] * 2 + ["A", "B"] * 3000)
        self.assertEqual(len(area.findall("States/State")), 6006)

    def test_example_report(self):
        # 114 has two streams and is listed once.
        self.assertEqual(t2v.convert(EXAMPLE, io.StringIO()).findtext("Controllers"), "112,113,114,115")


class StandAlone(InTemporaryDir):
    """The script run as a program, in this process: its exit and its printed lines."""

    def run_script(self, *args):
        out = io.StringIO()
        with mock.patch.object(sys, "argv", [SCRIPT, os.path.join(DATA, "small.html")] + list(args)), \
                contextlib.redirect_stdout(out), self.assertRaises(SystemExit) as done:
            runpy.run_path(SCRIPT, run_name="__main__")
        self.assertEqual(done.exception.code, 0)
        return out.getvalue().splitlines()

    def test_o_writes_utf8(self):
        self.assertIn("сохранение резульатат в " + self.path("area.xml"), self.run_script("-o", self.path("area.xml")))
        self.assertIn("Заречье — юг".encode("utf-8"), self.read("area.xml"))

    def test_ot_replaces_the_area_and_keeps_its_outline(self):
        original = ("<Zone id=\"1\">\n    <Areas>\n        <Area id=\"5\" name=\"Other\"><Geometry>0,0;1,0;1,1</Geometry></Area>\n"
                    "        <Area id=\"21\" name=\"Old\"><Controllers>9</Controllers><Geometry>2,2;3,2;3,3;2,3</Geometry>"
                    "<States/></Area>\n    </Areas>\n</Zone>\n").encode("utf-8")
        self.write("zone.xtsc", original)
        self.write("zone.bak", b"an older backup")
        self.assertIn("обновление файла конфигурации velmora", self.run_script("-ot", self.path("zone.xtsc")))
        self.assertEqual(self.read("zone.bak"), original)
        data = self.read("zone.xtsc")
        self.assertFalse(data.startswith(b"<?xml"))
        areas = etree.fromstring(data).findall("Areas/Area")
        self.assertEqual([(a.get("id"), a.get("name"), a.findtext("Geometry")) for a in areas],
                         [("5", "Other", "0,0;1,0;1,1"), ("21", "Заречье — юг", "2,2;3,2;3,3;2,3")])
        self.assertEqual([c.tag for c in areas[1]], ["Geometry", "Controllers", "Calendar", "States"])

    def test_ot_without_the_area_leaves_the_file(self):
        self.write("zone.xtsc", b"<Zone id=\"1\"><Areas><Area id=\"4\"/></Areas></Zone>")
        with self.assertRaises(Exception) as failed:  # the script's own class, not t2v's
            self.run_script("-ot", self.path("zone.xtsc"))
        self.assertEqual(type(failed.exception).__name__, "ReportError")
        self.assertFalse(os.path.exists(self.path("zone.bak")))

if __name__ == "__main__":
    unittest.main()
