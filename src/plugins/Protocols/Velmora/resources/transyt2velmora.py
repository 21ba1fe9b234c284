#!/usr/bin/env python3
# -*- coding: utf-8 -*-
"""Turns a TRANSYT HTML report into a Velmora control area (an Area element).

Embedded: the host sets `report_file` in a fresh module and runs this text.
The conversion then runs on the thread `th`; on success it leaves the Area
element as XML text in `result_string`. Progress goes to standard output,
errors (a trace) to standard error.

Stand-alone:
    transyt2velmora.py REPORT [-o AREA.xml] [-ot ZONE.xtsc]
"""

import argparse
import bisect
import collections
import os
import re
import sys
import threading
import traceback

# Loaded here, on the caller's thread, so that a missing library shows up
# when the script starts rather than somewhere inside the worker.
from bs4 import BeautifulSoup
from bs4.element import NavigableString, PreformattedString, Tag
from lxml import etree

WEEKDAYS = 7
CALENDAR_MARKER = "{Velmora"
# Stripped from both ends of a lower-cased description to leave the code itself.
CALENDAR_STRIP = "{} :velmora"


class ReportError(Exception):
    """The report lacks something the conversion needs."""


class Cancelled(Exception):
    """The user no longer wants the result."""


# Set by the import dialog when the user cancels: the worker stops at the
# next step instead of converting the rest of the report for nobody.
cancelled = threading.Event()


def _go_on():
    if cancelled.is_set():
        raise Cancelled()


# --- reading the HTML ------------------------------------------------------

# Characters XML 1.0 cannot carry; exported HTML sometimes has them.
_NOT_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ud800-\udfff\ufffe\uffff]")
_XML_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_.-]*$")


def _clean(text):
    return _NOT_XML.sub("", text)


def body_tree(soup):
    """Copies the parsed body into an lxml element tree.

    The copy is made node by node rather than by reparsing the soup's text:
    serialised HTML (script bodies, prefixed Office tags such as o:p) is not
    always well-formed XML. Comments, declarations and CDATA are left out.
    """
    source = soup.body
    if source is None:
        raise ReportError("в отчёте нет элемента body")
    root = etree.Element("body")
    # lxml frees an element's Python object by looking up its ancestors for one
    # still alive, all the way up when none is: kept alive, every copied element
    # is freed in constant time after its children, however deep the nesting.
    copied = [root]
    pending = [(source, root)]
    while pending:
        src, dst = pending.pop()
        for name, value in src.attrs.items():
            if _XML_NAME.match(name):
                if isinstance(value, (list, tuple)):
                    value = " ".join(value)
                dst.set(name.lower(), _clean(str(value)))
        last = None
        for child in src.children:
            if isinstance(child, Tag):
                name = child.name.lower()
                element = etree.SubElement(dst, name if _XML_NAME.match(name) else "span")
                copied.append(element)
                pending.append((child, element))
                last = element
            elif isinstance(child, NavigableString) and not isinstance(child, PreformattedString):
                text = _clean(str(child))
                if last is None:
                    dst.text = (dst.text or "") + text
                else:
                    last.tail = (last.tail or "") + text
    return root


def text_of(element):
    """The element's text with every run of blanks (non-breaking ones too) made one space."""
    return " ".join("".join(element.itertext()).split())


def has_class(element, name):
    return name in (element.get("class") or "").split()


def rows(table):
    """A table's rows: those of its tbody sections, or its own when it has none."""
    sections = table.findall("tbody")
    if sections:
        return [row for section in sections for row in section.findall("tr")]
    return table.findall("tr")


def cells(row):
    return [cell for cell in row if cell.tag in ("td", "th")]


def cell_text(table_rows, row, column, what):
    """Text of the cell at 1-based row and column."""
    if row > len(table_rows):
        raise ReportError("%s: нет строки %d" % (what, row))
    return row_cell(table_rows[row - 1], column, what)


def row_cell(row, column, what):
    found = cells(row)
    if column > len(found):
        raise ReportError("%s: в строке нет столбца %d" % (what, column))
    return text_of(found[column - 1])


def number(text, what):
    try:
        return int(text)
    except ValueError:
        try:
            return int(round(float(text.replace(",", "."))))
        except ValueError:
            raise ReportError("%s: \"%s\" не является числом" % (what, text)) from None


def next_table(element, what):
    following = element.getnext()
    if following is None or following.tag != "table":
        raise ReportError("не найдена таблица \"%s\"" % what)
    return following


class Report:
    """The parts of a report the conversion reads."""

    def __init__(self, body):
        self.body = body
        # Every element's Python object lives as long as the report; see body_tree.
        self._elements = list(body.iter())
        # Sections are paragraphs directly in the body; their tables follow them there.
        self.children = [child for child in body if isinstance(child.tag, str)]
        self.texts = [text_of(child) if child.tag == "p" else None for child in self.children]

    def area(self):
        outer = self.body.find(".//table")
        if outer is None:
            raise ReportError("в отчёте нет таблицы заголовка")
        inner = outer.find(".//table")
        if inner is None:
            raise ReportError("в таблице заголовка нет вложенной таблицы")
        title = rows(inner)
        name = cell_text(title, 1, 2, "название района")
        area_id = number(cell_text(title, 3, 2, "номер района"), "номер района")
        return area_id, name

    def controllers(self):
        for paragraph in self.body.iter("p"):
            if has_class(paragraph, "tablenameLevel1") and text_of(paragraph) == "Controller Stream":
                table = next_table(paragraph, "Controller Stream")
                found = []
                seen = set()
                for row in rows(table)[1:]:
                    controller = row_cell(row, 1, "Controller Stream")
                    # One controller may drive several streams, one row each.
                    if controller and controller not in seen:
                        seen.add(controller)
                        found.append(controller)
                return found
        raise ReportError("не найдена таблица \"Controller Stream\"")

    def section_titles(self):
        """The contents links of every division in document order, a division's
        own and those of divisions inside it: a link within nested divisions
        counts once for each of them, the outermost first."""
        links = []  # the contents links' texts in document order
        spans = []  # per division in document order: [first, end) of its links
        # Elements still to visit, first on top, and the indexes of the
        # divisions whose links end where the walk gets back to them.
        pending = [self.body]
        while pending:
            item = pending.pop()
            if isinstance(item, int):
                spans[item][1] = len(links)
                continue
            if item.tag == "div":
                pending.append(len(spans))
                spans.append([len(links), None])
            elif item.tag == "a" and has_class(item, "Contents0"):
                links.append(text_of(item))
            pending.extend(reversed(item))
        return [title for first, end in spans for title in links[first:end]]

    def section_start(self, title):
        if not hasattr(self, "_starts"):
            self._starts = {}
            for index, text in enumerate(self.texts):
                self._starts.setdefault(text, index)
        if title not in self._starts:
            raise ReportError("не найдено начало раздела \"%s\"" % title)
        return self._starts[title]

    def section_table(self, start, end, title, section):
        """The table right after the first paragraph titled `title` within the section."""
        for index in range(start + 1, end):
            if self.texts[index] == title:
                if index + 1 < len(self.children) and self.children[index + 1].tag == "table":
                    return self.children[index + 1]
                break
        raise ReportError("в разделе \"%s\" не найдена таблица \"%s\"" % (section, title))


# --- the conversion --------------------------------------------------------


def weekdays_of(description, out=None):
    """Weekdays (1 = Monday) of a calendar code, or None when there is no weekday code."""
    out = out or sys.stdout
    if not description.startswith(CALENDAR_MARKER):
        return None
    code = description.lower().strip(CALENDAR_STRIP)
    if not code.startswith("w"):
        return None
    days = []
    for item in code[1:].split(","):
        item = item.strip()
        if not item:
            continue
        day = int(item) if item.isdigit() else None
        if day is None or not 1 <= day <= WEEKDAYS:
            print("ошибка в \"%s\": индекс %s выходит за разрешённые пределы" % (description, item), file=out)
            continue
        days.append(day)
    return days


def week_cards(day_states):
    """Day cards and the week distribution for seven lists of state ids, Monday first.

    Days with equal lists share a card; cards are numbered by first appearance.
    """
    cards = []
    distribution = []
    for states in day_states:
        states = tuple(states)
        if states not in cards:
            cards.append(states)
        distribution.append(cards.index(states) + 1)
    return cards, distribution


def full_lengths(phases, cycle):
    """Completes the phases' full lengths, in place.

    `phases` are dicts in list order; "full_length" is present (possibly 0 or
    negative) when the next row of the controller gave it. A negative one
    wrapped round the cycle; a missing one is what the cycle leaves.
    """
    for phase in phases:
        if phase.get("full_length") is not None and phase["full_length"] < 0:
            phase["full_length"] += cycle
    known = sum(phase["full_length"] for phase in phases if phase.get("full_length") is not None)
    for phase in phases:
        if phase.get("full_length") is None:
            phase["full_length"] = cycle - known
    return phases


class State:
    def __init__(self, state_id, title, start, cycle):
        self.id = state_id
        self.title = title
        self.start = start
        self.cycle = cycle
        self.name = "%s (Твкл.=%s, Тц=%d)" % (title, start, cycle)
        self.programs = []  # (controller id, program) in row order


class Program:
    def __init__(self, phase_ids, cycle):
        self.phase_ids = phase_ids
        self.cycle = cycle
        self.cycle_shift = None
        # phase id -> its rows' records {"start", "length", "full_length"}, in row order
        self.phases = {}

    def sequence(self):
        """The phase records in sequence order. A stage met n times in the
        sequence takes its last n rows in order (met once: its last row, as a
        later row of a report corrects an earlier one); None where it has
        fewer rows than that."""
        met = collections.Counter(self.phase_ids)
        taken = collections.Counter()
        found = []
        for phase_id in self.phase_ids:
            records = self.phases.get(phase_id, [])
            index = len(records) - met[phase_id] + taken[phase_id]
            taken[phase_id] += 1
            found.append(records[index] if 0 <= index < len(records) else None)
        return found


def read_state(report, state_id, title, start, end, out):
    run = rows(report.section_table(start, end, "Run Summary", title))
    if len(run) < 2:
        raise ReportError("в разделе \"%s\" таблица \"Run Summary\" пуста" % title)
    start_time = row_cell(run[1], 4, "Run Summary")
    cycle = number(row_cell(run[1], 5, "Run Summary"), "Run Summary")
    state = State(state_id, title, start_time, cycle)
    print("обработка состояния id=%d \"%s\"" % (state_id, state.name), file=out)

    programs = {}
    for row in rows(report.section_table(start, end, "Stage Sequences", title))[1:]:
        controller = row_cell(row, 1, "Stage Sequences")
        phase_ids = [p.strip() for p in row_cell(row, 4, "Stage Sequences").split(",") if p.strip()]
        if not phase_ids:
            # A plan without phases is nothing a controller can run.
            raise ReportError("в разделе \"%s\" у контроллера %s пустая последовательность фаз" % (title, controller))
        program = Program(phase_ids, cycle)
        state.programs.append((controller, program))
        programs[controller] = program

    previous = None  # (controller, phase record) of the row before
    for row in rows(report.section_table(start, end, "Resultant Stages", title))[1:]:
        controller = row_cell(row, 1, "Resultant Stages")
        program = programs.get(controller)
        if program is None:
            raise ReportError("в разделе \"%s\" нет последовательности фаз контроллера %s" % (title, controller))
        phase_start = number(row_cell(row, 6, "Resultant Stages"), "Resultant Stages")
        program.cycle_shift = number(row_cell(row, 7, "Resultant Stages"), "Resultant Stages")
        phase = {"start": phase_start, "length": number(row_cell(row, 8, "Resultant Stages"), "Resultant Stages")}
        program.phases.setdefault(row_cell(row, 2, "Resultant Stages"), []).append(phase)
        if previous is not None and previous[0] == controller:
            previous[1]["full_length"] = phase_start - previous[1]["start"]
        previous = (controller, phase)

    for controller, program in state.programs:
        for phase_id, phase in zip(program.phase_ids, program.sequence()):
            if phase is None:
                raise ReportError("в разделе \"%s\" нет фазы %s контроллера %s" % (title, phase_id, controller))

    details = rows(report.section_table(start, end, "Analysis Set Details", title))
    if len(details) < 2:
        raise ReportError("в разделе \"%s\" таблица \"Analysis Set Details\" пуста" % title)
    state.days = weekdays_of(row_cell(details[1], 2, "Analysis Set Details"), out) or []
    return state


def build_area(area_id, name, controllers, states):
    area = etree.Element("Area")
    area.set("id", str(area_id))
    area.set("name", name)
    etree.SubElement(area, "Controllers").text = ",".join(controllers)

    calendar = etree.SubElement(area, "Calendar")
    day_states = [[state.id for state in states if day in state.days] for day in range(1, WEEKDAYS + 1)]
    cards, distribution = week_cards(day_states)
    etree.SubElement(calendar, "WeekDistribution").text = ",".join(str(card) for card in distribution)
    day_cards = etree.SubElement(calendar, "DayCards")
    for card_id, state_ids in enumerate(cards, 1):
        card = etree.SubElement(day_cards, "DayCard")
        card.set("id", str(card_id))
        for state_id in state_ids:
            time = etree.SubElement(card, "Time")
            time.set("state_id", str(state_id))
            time.text = states[state_id - 1].start

    states_element = etree.SubElement(area, "States")
    for state in states:
        state_element = etree.SubElement(states_element, "State")
        state_element.set("id", str(state.id))
        state_element.set("name", state.name)
        for controller, program in state.programs:
            controller_element = etree.SubElement(state_element, "Controller")
            controller_element.set("id", controller)
            program_element = etree.SubElement(controller_element, "Program")
            program_element.set("type", "2")
            program_element.set("cycle_length", str(program.cycle))
            program_element.set("cycle_shift", str(program.cycle_shift))
            program_element.text = ",".join(program.phase_ids)
            phases = [dict(phase) for phase in program.sequence()]
            for phase_id, phase in zip(program.phase_ids, full_lengths(phases, program.cycle)):
                phase_element = etree.SubElement(program_element, "Phase")
                phase_element.set("start", str(phase["start"]))
                phase_element.set("length", str(phase["length"]))
                phase_element.set("full_length", str(phase["full_length"]))
                phase_element.text = phase_id
    return area


def convert(path, out=None):
    """Reads the report and returns the Area element."""
    out = out or sys.stdout
    print("обработка файла " + path, file=out)
    print("нормализация html", file=out)
    with open(path, "rb") as handle:
        soup = BeautifulSoup(handle.read(), "lxml")
    _go_on()
    print("преобразование html в xml", file=out)
    report = Report(body_tree(soup))
    del soup
    print("обработка xml-данных", file=out)
    area_id, name = report.area()
    controllers = report.controllers()

    titles = report.section_titles()
    starts = [report.section_start(title) for title in titles]
    # A section reaches up to the next one, so one lacking a table fails
    # rather than borrowing its neighbour's.
    boundaries = sorted(set(starts)) + [len(report.children)]
    states = []
    for state_id, (title, start) in enumerate(zip(titles, starts), 1):
        _go_on()
        end = boundaries[bisect.bisect_right(boundaries, start)]
        states.append(read_state(report, state_id, title, start, end, out))

    _go_on()
    print("создание выходных данных", file=out)
    return build_area(area_id, name, controllers, states)


def area_text(area):
    """The element as text: ASCII, other characters as numeric references, no declaration."""
    return etree.tostring(area, encoding="us-ascii", xml_declaration=False, pretty_print=True).decode("ascii")


# --- stand-alone use -------------------------------------------------------


def write_area(area, path, out):
    print("сохранение резульатат в " + path, file=out)
    with open(path, "wb") as handle:
        handle.write(etree.tostring(area, encoding="UTF-8", xml_declaration=True, pretty_print=True))


def update_configuration(area, path, out):
    print("обработка конфигурации velmora: " + path, file=out)
    with open(path, "rb") as handle:
        data = handle.read()
    tree = etree.ElementTree(etree.fromstring(data, etree.XMLParser(remove_blank_text=True)))
    area_id = area.get("id")
    found = [old for old in tree.getroot().xpath("/Zone/Areas/Area") if old.get("id") == area_id]
    if not found:
        raise ReportError("в конфигурации %s нет района id=%s" % (path, area_id))
    old = found[0]
    print("обновление файла конфигурации velmora", file=out)
    geometry = old.find("Geometry")
    if geometry is not None:
        area.insert(0, geometry)
    old.getparent().replace(old, area)
    etree.indent(tree, space="    ")

    backup = os.path.splitext(path)[0] + ".bak"
    if os.path.exists(backup):
        os.remove(backup)
    os.rename(path, backup)
    # The module writes configurations without a declaration; keep one only if it was there.
    tree.write(path, encoding="UTF-8", xml_declaration=data.lstrip().startswith(b"<?xml"))


def main(argv):
    parser = argparse.ArgumentParser(description="TRANSYT report to Velmora control area")
    parser.add_argument("report", help="TRANSYT report (HTML)")
    parser.add_argument("-o", metavar="FILE", help="write the Area element to FILE")
    parser.add_argument("-ot", metavar="FILE", help="replace the area in the configuration FILE")
    args = parser.parse_args(argv)
    global result_string
    area = convert(args.report)
    if args.o:
        write_area(area, args.o, sys.stdout)
    if args.ot:
        update_configuration(area, args.ot, sys.stdout)
    if not args.o and not args.ot:
        result_string = area_text(area)
        sys.stdout.write(result_string)
    print("завершено")
    return 0


def _work(path):
    global result_string
    try:
        area = convert(path)
        result_string = area_text(area)
        print("завершено")
    except Cancelled:
        print("прервано")
    except Exception:
        traceback.print_exc()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
elif "report_file" in globals():
    th = threading.Thread(target=_work, args=(report_file,), name="transyt2velmora", daemon=True)  # noqa: F821
    th.start()
