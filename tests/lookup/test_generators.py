#!/usr/bin/env python3
"""Runs the two table generators on small inputs: good data must give the right table, bad data must
stop the build with a message and leave no table behind.

Usage: test_generators.py GEN_CATEGORY_TABLE_PY GEN_MONEY_TABLE_PY
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

CATEGORY_TOOL = None
MONEY_TOOL = None


def run_tool(tool, data, suffix):
    """Runs a generator on data (bytes) and returns (exit code, stderr, table text or None)."""
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "input" + suffix)
        output = os.path.join(work, "out", "table.cpp")
        with open(source, "wb") as out:
            out.write(data)
        done = subprocess.run([sys.executable, tool, source, output], capture_output=True, text=True)
        table = None
        if os.path.exists(output):
            with open(output, encoding="ascii") as generated:
                table = generated.read()
        leftovers = [name for name in os.listdir(os.path.dirname(output))] if os.path.isdir(
            os.path.dirname(output)) else []
        return done.returncode, done.stderr, table, leftovers


class CategoryGenerator(unittest.TestCase):
    def run_categories(self, text):
        return run_tool(CATEGORY_TOOL, text.encode("utf-8"), ".txt")

    def assert_refused(self, text, message_part):
        code, stderr, table, leftovers = self.run_categories(text)
        self.assertNotEqual(code, 0, "accepted bad data: %r" % text)
        self.assertIn(message_part, stderr)
        self.assertIsNone(table)
        self.assertEqual(leftovers, [], "a refused run left files behind")

    def test_good_file_keeps_file_order_and_indexes_by_id(self):
        text = ("# comment\n\n"
                "30|Toys\n"
                "10|Books\r\n"
                "20|Books > Fiction\n"
                "   # indented comment\n"
                "5|Toys > Puzzles\n")
        code, stderr, table, _ = self.run_categories(text)
        self.assertEqual(code, 0, stderr)
        rows = re.findall(r"\{(\d+), \"([^\"]*)\"\}", table)
        self.assertEqual(rows, [("30", "Toys"), ("10", "Books"), ("20", "Books > Fiction"),
                                ("5", "Toys > Puzzles")])
        self.assertIn("kCategoryCount = 4;", table)
        index = re.search(r"kCategoryOrdinalsById\[\] = \{([^}]*)\}", table).group(1)
        ordinals = [int(value) for value in index.replace(",", " ").split()]
        self.assertEqual(ordinals, [3, 1, 2, 0])  # ids 5, 10, 20, 30

    def test_text_outside_ascii_is_written_in_code_page_1252(self):
        code, stderr, table, _ = self.run_categories("1|Caf\u00e9 \u2019Bar\u2019\n")
        self.assertEqual(code, 0, stderr)
        self.assertIn(r'"Caf\351 \222Bar\222"', table)

    def test_refuses_duplicate_ids(self):
        self.assert_refused("1|Books\n2|Toys\n1|Music\n", "id 1 already used on line 1")

    def test_refuses_duplicate_names(self):
        self.assert_refused("1|Books\n2|Books\n", "already used on line 1")

    def test_refuses_missing_parent(self):
        self.assert_refused("1|Books\n2|Books > Fiction > Crime\n", "parent 'Books > Fiction'")

    def test_refuses_bad_ids(self):
        for line in ("x|Books", "-1|Books", "0|Books", "01|Books", "2147483648|Books", " 1|Books",
                     "|Books", "\u0661|Books"):
            with self.subTest(line=line):
                self.assert_refused(line + "\n", "id ")

    def test_refuses_bad_names(self):
        cases = [
            ("1|", "empty name"),
            ("1| Books", "space at the start or end"),
            ("1|Books >  > Fiction", "empty part"),
            ("1|Books >  Fiction", "space at the start or end"),
            ("1|Books>Fiction", "'>' inside part"),
            ("1|a|b", "exactly one '|'"),
            ("1", "exactly one '|'"),
            ("1|Tab\there", "control character"),
            ("1|\u4e66", "outside code page 1252"),
        ]
        for line, message in cases:
            with self.subTest(line=line):
                self.assert_refused("2|Music\n" + line + "\n", message)

    def test_trailing_white_space_and_crlf_are_not_part_of_the_name(self):
        code, stderr, table, _ = self.run_categories("1|Books \t\r\n2|Books > Fiction\r\n")
        self.assertEqual(code, 0, stderr)
        self.assertIn('{1, "Books"}', table)

    def test_name_length_limit_is_127(self):
        fits = "A" * 127
        code, stderr, _, _ = self.run_categories("1|%s\n" % fits)
        self.assertEqual(code, 0, stderr)
        self.assert_refused("1|%s\n" % (fits + "A"), "more than 127")
        # The limit counts code page 1252 characters, not UTF-8 bytes.
        code, stderr, _, _ = self.run_categories("1|%s\n" % ("\u00e9" * 127))
        self.assertEqual(code, 0, stderr)

    def test_refuses_empty_file_and_bad_encoding(self):
        self.assert_refused("# nothing here\n", "no categories")
        code, stderr, table, _ = run_tool(CATEGORY_TOOL, b"1|Caf\xe9\n", ".txt")
        self.assertNotEqual(code, 0)
        self.assertIn("not UTF-8", stderr)
        self.assertIsNone(table)

    def test_the_real_data_file_is_accepted(self):
        data = os.path.join(os.path.dirname(CATEGORY_TOOL), os.pardir, "categories.txt")
        with open(data, "rb") as source:
            code, stderr, table, _ = run_tool(CATEGORY_TOOL, source.read(), ".txt")
        self.assertEqual(code, 0, stderr)
        self.assertGreaterEqual(int(re.search(r"kCategoryCount = (\d+);", table).group(1)), 100)


class MoneyGenerator(unittest.TestCase):
    def run_money(self, document):
        data = document if isinstance(document, bytes) else json.dumps(document).encode("utf-8")
        return run_tool(MONEY_TOOL, data, ".json")

    def assert_refused(self, document, message_part):
        code, stderr, table, leftovers = self.run_money(document)
        self.assertNotEqual(code, 0, "accepted bad input: %r" % (document,))
        self.assertIn(message_part, stderr)
        self.assertIsNone(table)
        self.assertEqual(leftovers, [])

    def rows(self, table):
        return re.findall(r"\{(\d+), \"([^\"]*)\", \"([^\"]*)\"\}", table)

    def test_sorted_by_numeric_and_written_in_decimal(self):
        document = {"4217": [
            {"alpha_3": "USD", "name": "US Dollar", "numeric": "840"},
            {"alpha_3": "AUD", "name": "Australian Dollar", "numeric": "036"},
            {"alpha_3": "ALL", "name": "Lek", "numeric": "008"},
        ]}
        code, stderr, table, _ = self.run_money(document)
        self.assertEqual(code, 0, stderr)
        self.assertEqual(self.rows(table), [("8", "ALL", "Lek"), ("36", "AUD", "Australian Dollar"),
                                            ("840", "USD", "US Dollar")])
        self.assertIn("kMoneyRecordCount = 3;", table)

    def test_missing_numeric_is_left_out_and_reported(self):
        document = {"4217": [
            {"alpha_3": "EUR", "name": "Euro", "numeric": "978"},
            {"alpha_3": "XQQ", "name": "No Number"},
        ]}
        code, stderr, table, _ = self.run_money(document)
        self.assertEqual(code, 0, stderr)
        self.assertEqual(self.rows(table), [("978", "EUR", "Euro")])
        self.assertIn("XQQ", stderr)

    def test_first_entry_of_a_repeated_numeric_wins(self):
        document = {"4217": [
            {"alpha_3": "VES", "name": "Bol\u00edvar Soberano", "numeric": "928"},
            {"alpha_3": "VEF", "name": "Bol\u00edvar", "numeric": "928"},
        ]}
        code, stderr, table, _ = self.run_money(document)
        self.assertEqual(code, 0, stderr)
        self.assertEqual(self.rows(table), [("928", "VES", r"Bol\355var Soberano")])
        self.assertIn("(VEF) repeats numeric 928 of VES", stderr)

    def test_refuses_malformed_input(self):
        entry = {"alpha_3": "EUR", "name": "Euro", "numeric": "978"}
        cases = [
            (b"{not json", "refused"),
            ([entry], '"4217" list'),
            ({"4217": {}}, '"4217" list'),
            ({"4217": []}, "no currency"),
            ({"4217": ["EUR"]}, "not an object"),
            ({"4217": [dict(entry, alpha_3="EU")]}, "three letters"),
            ({"4217": [dict(entry, alpha_3="eur")]}, "three letters"),
            ({"4217": [{"name": "Euro", "numeric": "978"}]}, "three letters"),
            ({"4217": [dict(entry, name="")]}, '"name"'),
            ({"4217": [dict(entry, name=5)]}, '"name"'),
            ({"4217": [dict(entry, numeric=978)]}, "three digits"),
            ({"4217": [dict(entry, numeric="97")]}, "three digits"),
            ({"4217": [dict(entry, numeric="9a8")]}, "three digits"),
        ]
        for document, message in cases:
            with self.subTest(document=document):
                self.assert_refused(document, message)

    def test_refuses_names_that_do_not_fit(self):
        entry = {"alpha_3": "EUR", "numeric": "978"}
        self.assert_refused({"4217": [dict(entry, name="E" * 128)]}, "more than 127")
        self.assert_refused({"4217": [dict(entry, name="\u20ac\u4e00")]}, "code page 1252")
        code, stderr, _, _ = self.run_money({"4217": [dict(entry, name="E" * 127)]})
        self.assertEqual(code, 0, stderr)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: test_generators.py GEN_CATEGORY_TABLE_PY GEN_MONEY_TABLE_PY")
    CATEGORY_TOOL = os.path.abspath(sys.argv[1])
    MONEY_TOOL = os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
