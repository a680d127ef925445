#!/usr/bin/python3
"""The catalog page in a real browser: headless Chromium driven by Selenium
(Debian's chromium, chromium-driver and python3-selenium) loads the catalog of
a generated collection, sorts, filters, moves with the keyboard, opens and
closes a detail panel, chooses columns, rescans, fits a narrow window, edits
a cell and a selection (each checked on disk through the tool), shows a
refusal beside its cell, and offers no editing under --read-only.
Screenshots are kept in ZOLEHEAD_ARTIFACTS (the build tree)."""
import json
import os
import shutil
import subprocess
import tempfile
import unittest

from selenium import webdriver
from selenium.common.exceptions import StaleElementReferenceException, TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

from make_collection import write_collection
from serve_support import BIN, Server

COUNT = 250
ARTIFACTS = os.environ.get("ZOLEHEAD_ARTIFACTS", tempfile.gettempdir())
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--disable-dev-shm-usage", "--lang=en-US"]

# Reads the rows drawn in the table: path, and each shown field's value (or None).
ROWS_SCRIPT = """
const heads = Array.from(document.querySelectorAll('#head button')).map((b) => b.dataset.key);
return Array.from(document.querySelectorAll('#rows tr.row')).filter((tr) => tr.cells.length).map((tr) => {
  const row = {pos: Number(tr.dataset.pos), error: tr.classList.contains('error'), cells: {}};
  Array.from(tr.cells).forEach((td, i) => {
    // The value is the cell's own text; a refusal beside it is an element.
    const own = Array.from(td.childNodes).filter((n) => n.nodeType === 3).map((n) => n.data).join('');
    row.cells[heads[i]] = i === 0 || td.dataset.form ? own : null;
  });
  return row;
});
"""


def folded(value):
    return value.encode("utf-8").lower()


class CatalogPageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp(prefix="zolehead-browser-")
        cls.generated = write_collection(os.path.join(cls.top, "col"), COUNT)
        outside = os.path.join(cls.top, "outside")
        os.makedirs(outside)
        with open(os.path.join(outside, "secret.zole"), "wb") as f:
            f.write(b"*Title 'outside'\n")
        os.symlink(os.path.join("..", "..", "outside", "secret.zole"), os.path.join(cls.top, "col", "d0000", "aa-link.zole"))
        cls.server = Server(["-r", "col", "--port", "0"], cwd=cls.top)
        cls.server.wait_for_scan()

        options = webdriver.ChromeOptions()
        for flag in CHROMIUM_FLAGS:
            options.add_argument(flag)
        cls.profile = tempfile.mkdtemp(prefix="zolehead-chromium-")
        options.add_argument("--user-data-dir=" + cls.profile)
        options.add_argument("--window-size=1400,900")
        options.binary_location = "/usr/bin/chromium"
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.driver.set_script_timeout(30)
        cls.driver.get(cls.server.url)
        cls.wait_for(lambda d: d.find_element(By.ID, "counts").text.startswith("%d files" % (COUNT + 1)))

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.stop()
        shutil.rmtree(cls.top)
        shutil.rmtree(cls.profile, ignore_errors=True)

    @classmethod
    def wait_for(cls, condition, timeout=30):
        return WebDriverWait(cls.driver, timeout, poll_frequency=0.05).until(condition)

    def rows(self):
        return self.driver.execute_script(ROWS_SCRIPT)

    def double_click_cell(self, cell_id):
        # The table may be drawn afresh (an edit's answer, a rescan) between
        # finding the cell and clicking it; the click then goes to the new one.
        def attempt(driver):
            try:
                ActionChains(driver).double_click(driver.find_element(By.ID, cell_id)).perform()
                return True
            except StaleElementReferenceException:
                return False

        self.wait_for(attempt)

    def wait_for_rows(self, predicate, timeout=30):
        try:
            return self.wait_for(lambda d: (lambda rows: rows if rows and predicate(rows) else False)(self.rows()), timeout)
        except TimeoutException:
            self.fail("the table never showed the expected rows; it shows %r" % self.rows()[:5])

    def expected_titles(self, descending=False):
        items = [("col/" + p, f["Title"][0]) for p, f in self.generated]
        return [t for _, t in sorted(items, key=lambda i: folded(i[1]), reverse=descending)]

    def clear_filter(self):
        # clear() sends no input event; deleting the text as a user would does.
        box = self.driver.find_element(By.ID, "filter")
        box.send_keys(Keys.CONTROL, "a")
        box.send_keys(Keys.BACKSPACE)
        self.wait_for(lambda d: d.find_element(By.ID, "counts").text.startswith("%d files" % (COUNT + 1)))

    def click_header(self, key):
        self.driver.find_element(By.CSS_SELECTOR, '#head button[data-key="%s"]' % key).click()

    def test_1_loads_with_the_token_out_of_sight_and_no_errors(self):
        self.assertEqual(self.driver.current_url, self.server.base + "/")
        self.assertNotIn(self.server.token, self.driver.page_source)
        # The counts can show before the first rows are drawn.
        rows = self.wait_for_rows(lambda rows: len(rows) > 1)
        self.assertEqual(rows[0]["cells"]["path"], "col/d0000/aa-link.zole")
        self.assertTrue(rows[0]["error"])
        self.assertIn("not inside the served folders", self.driver.find_element(By.ID, "row-0").text)
        self.assertEqual(rows[1]["cells"]["Title"], self.generated[0][1]["Title"][0])
        # Only the rows in view (and a margin) exist.
        self.assertLess(len(rows), 100)
        problems = [e for e in self.driver.get_log("browser") if e["level"] in ("SEVERE", "WARNING")]
        self.assertEqual(problems, [])  # a CSP violation would show here

    def test_2_japanese_text_is_drawn_with_a_japanese_font(self):
        self.driver.execute_cdp_cmd("DOM.enable", {})
        self.driver.execute_cdp_cmd("CSS.enable", {})
        root = self.driver.execute_cdp_cmd("DOM.getDocument", {"depth": 0})["root"]["nodeId"]
        node = self.driver.execute_cdp_cmd("DOM.querySelector", {"nodeId": root, "selector": "#row-1 td:nth-child(2)"})
        fonts = self.driver.execute_cdp_cmd("CSS.getPlatformFontsForNode", {"nodeId": node["nodeId"]})["fonts"]
        families = " ".join(f["familyName"] for f in fonts)
        self.assertIn("IPA", families, "Japanese glyphs came from %s" % families)

    def test_3_sorts_by_a_column_both_ways(self):
        self.click_header("Title")
        expected = self.expected_titles()
        self.wait_for_rows(lambda rows: [r["cells"]["Title"] for r in rows[:10]] == expected[:10])
        header = self.driver.find_element(By.CSS_SELECTOR, '#head button[data-key="Title"]').find_element(By.XPATH, "..")
        self.assertEqual(header.get_attribute("aria-sort"), "ascending")
        self.click_header("Title")
        expected = self.expected_titles(descending=True)
        self.wait_for_rows(lambda rows: [r["cells"]["Title"] for r in rows[:10]] == expected[:10])
        header = self.driver.find_element(By.CSS_SELECTOR, '#head button[data-key="Title"]').find_element(By.XPATH, "..")
        self.assertEqual(header.get_attribute("aria-sort"), "descending")
        self.click_header("Title")  # back to walk order
        self.wait_for_rows(lambda rows: rows[0]["cells"]["path"] == "col/d0000/aa-link.zole")

    def test_4_filters_as_the_user_types(self):
        box = self.driver.find_element(By.ID, "filter")
        box.send_keys("山田太郎")
        expected = [p for p, f in self.generated if any(v == "山田太郎" for v, _ in f.values())]
        self.wait_for(lambda d: d.find_element(By.ID, "counts").text.startswith("%d of %d files" % (len(expected), COUNT + 1)))
        rows = self.wait_for_rows(lambda rows: rows[0]["cells"]["path"] == "col/" + expected[0])
        # The people fields are all among the columns shown by default.
        for row in rows:
            self.assertIn("山田太郎", [row["cells"].get(k) for k in ("Composer", "Lyricist", "Arranger", "Artist")])
        box.send_keys(" Moonlight")
        both = [p for p in expected if any(folded(v).find(b"moonlight") >= 0 for v, _ in dict(self.generated)[p].values())]
        self.wait_for(lambda d: d.find_element(By.ID, "counts").text.startswith("%d of" % len(both)))
        self.clear_filter()

    def test_5_keyboard_moves_and_opens_the_detail_panel(self):
        box = self.driver.find_element(By.ID, "filter")
        box.click()
        box.send_keys(Keys.ARROW_DOWN)  # into the table
        grid = self.driver.switch_to.active_element
        self.assertEqual(grid.get_attribute("id"), "grid")
        grid.send_keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN, Keys.ARROW_RIGHT)
        self.assertEqual(grid.get_attribute("aria-activedescendant"), "cell-2-1")
        grid.send_keys(Keys.ENTER)
        panel = self.driver.find_element(By.ID, "detail")
        path, fields = self.generated[1]
        self.wait_for(lambda d: panel.is_displayed() and d.find_elements(By.CSS_SELECTOR, "#detail table.fields"))
        self.assertEqual(self.driver.find_element(By.ID, "detail-title").text, path.split("/")[-1])
        values = {tr.find_element(By.TAG_NAME, "th").text: tr.find_elements(By.TAG_NAME, "td")
                  for tr in panel.find_elements(By.CSS_SELECTOR, "table.fields tbody tr")}
        for keyword, (value, form) in fields.items():
            self.assertEqual(values[keyword][1].text, value)
            self.assertEqual(values[keyword][2].text, form)
        changed = panel.find_elements(By.CSS_SELECTOR, ".line.changed")
        self.assertEqual(len(changed), len(fields))
        self.assertIn(fields["Title"][0], changed[0].text)
        self.driver.switch_to.active_element.send_keys(Keys.ESCAPE)
        self.wait_for(lambda d: not panel.is_displayed())
        self.assertEqual(self.driver.switch_to.active_element.get_attribute("id"), "grid")

    def test_6_a_click_opens_a_file_and_the_screenshot_is_kept(self):
        self.driver.find_element(By.ID, "filter").send_keys("春の風")
        self.wait_for(lambda d: " of " in d.find_element(By.ID, "counts").text)
        self.wait_for_rows(lambda rows: "春の風" in (rows[0]["cells"]["Title"] or ""))
        self.driver.find_element(By.CSS_SELECTOR, "#row-0 td:nth-child(2)").click()
        self.wait_for(lambda d: d.find_elements(By.CSS_SELECTOR, "#detail .line.changed"))
        self.driver.save_screenshot(os.path.join(ARTIFACTS, "catalog.png"))
        self.assertTrue(os.path.getsize(os.path.join(ARTIFACTS, "catalog.png")) > 10000)
        self.driver.find_element(By.ID, "detail-close").click()
        self.clear_filter()

    def test_7_columns_can_be_chosen_and_stay_chosen(self):
        self.driver.find_element(By.CSS_SELECTOR, "#columns summary").click()
        self.driver.find_element(By.CSS_SELECTOR, '#column-list input[value="Genre"]').click()
        self.driver.find_element(By.CSS_SELECTOR, '#column-list input[value="Comment"]').click()
        keys = lambda d: [b.get_attribute("data-key") for b in d.find_elements(By.CSS_SELECTOR, "#head button")]
        self.wait_for(lambda d: "Comment" in keys(d) and "Genre" not in keys(d))
        self.driver.refresh()
        self.wait_for(lambda d: d.find_element(By.ID, "counts").text.startswith("%d files" % (COUNT + 1)))
        self.wait_for(lambda d: "Comment" in keys(d) and "Genre" not in keys(d))

    def test_8_rescan_picks_up_a_changed_file(self):
        path = os.path.join(self.top, "col", self.generated[0][0])
        with open(path, "wb") as f:
            f.write("曲名：書き換えました\n".encode("cp932"))
        self.driver.find_element(By.ID, "rescan").click()
        self.wait_for_rows(lambda rows: rows[1]["cells"].get("Title") == "書き換えました", timeout=60)

    def test_9_a_narrow_window_keeps_everything_reachable(self):
        self.driver.set_window_size(420, 800)
        try:
            self.wait_for(lambda d: d.execute_script("return innerWidth") <= 420)
            overflow = self.driver.execute_script("return document.documentElement.scrollWidth - innerWidth")
            self.assertLessEqual(overflow, 0)  # the table scrolls inside its own box, not the page
            for control in ("filter", "rescan", "grid"):
                self.assertTrue(self.driver.find_element(By.ID, control).is_displayed(), control)
            self.driver.find_element(By.CSS_SELECTOR, "#row-3 td").click()
            panel = self.driver.find_element(By.ID, "detail")
            self.wait_for(lambda d: d.find_elements(By.CSS_SELECTOR, "#detail table.fields"))
            width = self.driver.execute_script("return document.getElementById('detail').getBoundingClientRect().width")
            self.assertGreaterEqual(width, self.driver.execute_script("return innerWidth") - 1)
            self.driver.save_screenshot(os.path.join(ARTIFACTS, "catalog-narrow.png"))
            self.driver.switch_to.active_element.send_keys(Keys.ESCAPE)
            self.wait_for(lambda d: not panel.is_displayed())
        finally:
            self.driver.set_window_size(1400, 900)

    # --- Editing. These run last: they change files of the collection.

    def on_disk(self, relative):
        """The file's fields as the tool reads them now: {keyword: value}."""
        done = subprocess.run([BIN, "--jsonl", os.path.join(self.top, relative)], capture_output=True, timeout=30)
        return {k: v["value"] for k, v in json.loads(done.stdout)["fields"].items()}

    def show_only(self, relative):
        box = self.driver.find_element(By.ID, "filter")
        box.send_keys(relative)
        self.wait_for(lambda d: d.find_element(By.ID, "counts").text.startswith("1 of"))
        return self.wait_for_rows(lambda rows: rows[0]["cells"]["path"] == relative)

    def edit_cell(self, column, text):
        """Edits the first row's cell with the keyboard: into the table from
        the filter, to the column, F2. (A double click does the same; under a
        loaded machine its two clicks may come too far apart to be one.)"""
        self.driver.find_element(By.ID, "filter").send_keys(Keys.ARROW_DOWN)
        grid = self.driver.switch_to.active_element
        grid.send_keys(*([Keys.ARROW_LEFT] * 20 + [Keys.ARROW_RIGHT] * column + [Keys.F2]))
        field = self.wait_for(lambda d: d.find_element(By.CSS_SELECTOR, "#cell-0-%d input" % column))
        self.assertEqual(self.driver.switch_to.active_element, field)
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(text, Keys.ENTER)

    def test_95_a_cell_edit_shows_the_file_as_it_reads_after(self):
        relative = "col/" + self.generated[10][0]
        before = self.on_disk(relative)
        self.show_only(relative)
        self.edit_cell(1, "編集した題")
        self.wait_for_rows(lambda rows: rows[0]["cells"]["Title"] == "編集した題")
        self.assertEqual(self.on_disk(relative), dict(before, Title="編集した題"))
        self.assertIn("1 edited", self.driver.find_element(By.ID, "edit-status").text)
        self.assertEqual(self.driver.switch_to.active_element.get_attribute("id"), "grid")

        # A character code page 932 cannot hold: refused, said beside the cell, file untouched.
        self.edit_cell(1, "Caf\u00e9")
        refusal = self.wait_for(lambda d: d.find_element(By.CSS_SELECTOR, "#cell-0-1 .refusal"))
        self.assertIn("code page 932", refusal.text)
        self.assertIn("refused", self.driver.find_element(By.ID, "edit-status").text)
        self.assertEqual(self.rows()[0]["cells"]["Title"], "編集した題")
        self.assertEqual(self.on_disk(relative), dict(before, Title="編集した題"))
        self.driver.save_screenshot(os.path.join(ARTIFACTS, "catalog-refusal.png"))

        # Escape gives up without writing.
        self.driver.find_element(By.ID, "filter").send_keys(Keys.ARROW_DOWN)
        self.driver.switch_to.active_element.send_keys(Keys.F2)
        field = self.wait_for(lambda d: d.find_element(By.CSS_SELECTOR, "#cell-0-1 input"))
        field.send_keys("捨てる", Keys.ESCAPE)
        self.wait_for(lambda d: not d.find_elements(By.CSS_SELECTOR, "#cell-0-1 input"))
        self.assertEqual(self.on_disk(relative), dict(before, Title="編集した題"))

        # A double click edits too; with the panel open, the table does not move under the pointer.
        self.driver.switch_to.active_element.send_keys(Keys.ENTER)
        self.wait_for(lambda d: d.find_elements(By.CSS_SELECTOR, "#detail table.fields"))
        self.double_click_cell("cell-0-2")
        field = self.wait_for(lambda d: d.find_element(By.CSS_SELECTOR, "#cell-0-2 input"))
        field.send_keys(Keys.ESCAPE)
        self.driver.find_element(By.ID, "detail-close").click()
        self.clear_filter()

    def test_96_one_field_set_on_rows_selected_with_the_keyboard(self):
        box = self.driver.find_element(By.ID, "filter")
        box.send_keys("d0001/")
        self.wait_for(lambda d: " of " in d.find_element(By.ID, "counts").text)
        rows = self.wait_for_rows(lambda rows: rows[0]["cells"]["path"].startswith("col/d0001/"))
        chosen = [r["cells"]["path"] for r in rows[:3]]
        box.send_keys(Keys.ARROW_DOWN)
        grid = self.driver.switch_to.active_element
        grid.send_keys(" ", Keys.ARROW_DOWN, " ", Keys.ARROW_DOWN, " ")
        self.assertEqual(self.driver.find_element(By.ID, "bulk-count").text, "3 selected")
        self.assertEqual(len(self.driver.find_elements(By.CSS_SELECTOR, "#rows tr.selected")), 3)
        Select(self.driver.find_element(By.ID, "bulk-field")).select_by_value("Composer")
        self.driver.find_element(By.ID, "bulk-value").send_keys("一括太郎")
        self.driver.find_element(By.ID, "bulk-apply").click()
        self.wait_for_rows(lambda rows: [r["cells"]["Composer"] for r in rows[:3]] == ["一括太郎"] * 3)
        self.assertNotEqual(self.rows()[3]["cells"]["Composer"], "一括太郎")
        self.assertIn("3 edited", self.driver.find_element(By.ID, "edit-status").text)
        for path in chosen:
            self.assertEqual(self.on_disk(path)["Composer"], "一括太郎", path)
        self.driver.find_element(By.ID, "bulk-clear").click()
        self.wait_for(lambda d: not d.find_element(By.ID, "bulk").is_displayed())
        self.clear_filter()

    def test_97_read_only_offers_no_editing(self):
        with Server(["-r", "col", "--port", "0", "--read-only"], cwd=self.top) as server:
            server.wait_for_scan()
            self.driver.get(server.url)
            try:
                self.wait_for(lambda d: d.find_element(By.ID, "read-only").is_displayed())
                self.wait_for_rows(lambda rows: len(rows) > 3)
                self.assertEqual(self.driver.find_element(By.ID, "grid").get_attribute("aria-readonly"), "true")
                self.double_click_cell("cell-1-1")
                self.driver.find_element(By.ID, "grid").send_keys(" ", Keys.F2)
                self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "#rows input"), [])
                self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "#rows tr.selected"), [])
                self.assertFalse(self.driver.find_element(By.ID, "bulk").is_displayed())
            finally:
                self.driver.get(self.server.url)


if __name__ == "__main__":
    unittest.main()
