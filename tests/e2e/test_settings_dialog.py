"""The settings dialog as a user works it: opened from the popup's Settings command, edited with real
clicks and keys, links and files (subscription lists among them) dropped on its feed list from
another program, then left with Cancel or OK, and what the registry and the popup's feed list (the
reference service sees its preset list asked for again) hold afterwards.

One desktop for the whole class: the steps follow one another as a user's would (the numbers in the
test names give their order), so that the many checks cost one Wine session.
"""
import os
import select
import socket
import threading
import time
import unittest
import urllib.parse

import lullcast_e2e as e2e

IDOK, IDCANCEL = 1, 2
INTERVAL, SPIN, FEED_LIST, MOVE_UP, MOVE_DOWN, REMOVE, NOTIFY = 1000, 1005, 1007, 1008, 1009, 1010, 1011
CHANNELS = list(range(1014, 1022))
BM_GETCHECK = 0x00F0
BN_CLICKED = 0
EM_GETSEL = 0x00B0
LB_GETCURSEL = 0x0188
LB_GETITEMHEIGHT = 0x01A1
WS_DISABLED = 0x08000000
PRESET = "/preset_feeds.xml"
APP_TITLE = "Lullcast"  # the message boxes' title: the application's name
RANGE_MESSAGE = "Please enter an integer between 1 and 120."
NUMBER_MESSAGE = "Please enter a positive integer."

A, B = "http://a.test/rss", "http://b.test/feed?x=1&y=2"
STRAY, FURTHER = "http://stray.test/", "http://further.test/"
DROPPED = "http://drop.test/rss"
LINES = "http://multi.test/one\r\nhttp://multi.test/two"
BARE = "http://bare.test/"
EDGE = "http://edge.test/"

SEEDED = [("Interval", "REG_DWORD", "5"), ("Notify", "REG_DWORD", "5"), ("Feed1", "REG_SZ", A),
          ("Feed2", "REG_SZ", B), ("Feed4", "REG_SZ", STRAY), ("Feed6", "REG_SZ", FURTHER)]


class SettingsDialogCase(unittest.TestCase):
    """One running copy with the given stored settings for the class, and the user's ways with its
    settings dialog."""

    @classmethod
    def start(cls, seeded, **session_options):
        cls.news = e2e.NewsSession(registry=[(e2e.SETTINGS_KEY,) + value for value in seeded], **session_options)
        cls.addClassCleanup(cls.news.close)
        cls.desktop, cls.driver, cls.popup = cls.news.desktop, cls.news.driver, cls.news.popup
        # The program the links and files are dragged from, as from a browser or a file manager.
        cls.source = cls.driver.create("Links", (20, 20, 260, 120))
        cls.dialog = None

    # The dialog
    def open_settings(self):
        self.driver.post(self.popup, e2e.WM_COMMAND, e2e.ID_TRAY_SETTINGS)
        dialog = e2e.winetest.wait_for(lambda: self.driver.find(e2e.SETTINGS_CAPTION), timeout=e2e.WAIT)
        self.assertTrue(dialog, "the Settings command opened no settings dialog")
        type(self).dialog = dialog
        # The window is found as soon as it exists: wait until it is set up and shown.
        ready = lambda: self.driver.info(dialog).visible and self.driver.text(dialog, INTERVAL) != ""
        self.assertTrue(e2e.winetest.wait_for(ready, timeout=e2e.WAIT), "the dialog was not set up")
        type(self).controls = {child.id: child.handle for child in self.driver.children(dialog)}
        return dialog

    def rect(self, control_id):
        return self.driver.info(self.controls[control_id]).rect

    def click(self, control_id):
        self.desktop.click(*self.rect(control_id).centre())

    def checked(self, control_id):
        return self.driver.send(self.controls[control_id], BM_GETCHECK) == 1

    def enabled(self, control_id):
        return not self.driver.style(self.controls[control_id])[0] & WS_DISABLED

    def buttons(self):
        """'U', 'D', 'R' for the enabled Move up, Move down and Remove; lower case when disabled."""
        return "".join(letter if self.enabled(button) else letter.lower()
                       for letter, button in (("U", MOVE_UP), ("D", MOVE_DOWN), ("R", REMOVE)))

    def items(self):
        return self.driver.list_items(self.controls[FEED_LIST])

    def selection(self):
        selected = self.driver.send(self.controls[FEED_LIST], LB_GETCURSEL)
        return selected if selected < 2 ** 31 else selected - 2 ** 64 if selected >= 2 ** 32 else selected - 2 ** 32

    def click_item(self, index):
        client = self.driver.client(self.controls[FEED_LIST])
        height = self.driver.send(self.controls[FEED_LIST], LB_GETITEMHEIGHT)
        self.desktop.click(client.left + 20, client.top + index * height + height // 2)
        e2e.winetest.wait_for(lambda: self.selection() == index, timeout=3)

    def click_and_wait(self, control_id, condition, what):
        self.click(control_id)
        self.assertTrue(e2e.winetest.wait_for(condition, timeout=5), what)

    def interval(self):
        return self.driver.text(self.dialog, INTERVAL)

    def type_interval(self, text):
        """Clicks into the interval box, selects what it holds and types over it."""
        self.click(INTERVAL)
        self.desktop.key("End")
        self.desktop.key("shift+Home")
        self.desktop.key("BackSpace")
        if text:
            self.desktop.xdotool("type", "--delay", "50", text)
        self.assertTrue(e2e.winetest.wait_for(lambda: self.interval() == text, timeout=5),
                        "typing %r left %r in the interval box" % (text, self.interval()))

    def assertRefused(self, message):
        """OK shows the message in an exclamation box titled with the application's name; once it is
        closed, the dialog is still open with the focus and the whole text in the interval box."""
        self.click(IDOK)
        box = e2e.winetest.wait_for(lambda: self.driver.find(APP_TITLE), timeout=e2e.WAIT)
        self.assertTrue(box, "no message box for %r" % self.interval())
        texts = [child.text for child in self.driver.children(box)]
        self.assertIn(message, texts)
        ok_button = next(child.handle for child in self.driver.children(box) if child.id == IDOK)
        self.desktop.click(*self.driver.info(ok_button).rect.centre())
        self.assertTrue(e2e.winetest.wait_for(lambda: not self.driver.find(APP_TITLE), timeout=e2e.WAIT),
                        "the message box stayed")
        self.assertEqual(self.driver.find(e2e.SETTINGS_CAPTION), self.dialog, "the dialog closed")
        edit = self.controls[INTERVAL]
        self.assertTrue(e2e.winetest.wait_for(lambda: self.driver.focus(self.dialog) == edit, timeout=5),
                        "the focus is not back in the interval box")
        selected = self.driver.send(edit, EM_GETSEL)
        self.assertEqual((selected & 0xFFFF, selected >> 16 & 0xFFFF), (0, len(self.interval())),
                         "the interval's text is not selected whole")

    def drop(self, text, target, terminated=True):
        start = self.driver.info(self.source).rect.centre()
        return self.desktop.drag_text(start, target, text, terminated)[1]

    def drop_files(self, paths, target=None):
        start = self.driver.info(self.source).rect.centre()
        return self.desktop.drag_files(start, target or self.rect(FEED_LIST).centre(), paths)[1]

    def assertClosed(self):
        self.assertTrue(e2e.winetest.wait_for(lambda: not self.driver.find(e2e.SETTINGS_CAPTION), timeout=e2e.WAIT),
                        "the dialog stayed open")


class SettingsDialogTest(SettingsDialogCase):
    @classmethod
    def setUpClass(cls):
        cls.start(SEEDED)

    # The steps
    def test_1_opening_state_edits_a_second_command_and_cancel(self):
        seeded = self.desktop.settings()
        presets = self.news.service.count(PRESET)
        dialog = self.open_settings()
        self.assertEqual(self.interval(), "5")
        self.assertFalse(self.checked(NOTIFY), "a stored notify value of 5 shows as clear")
        self.assertEqual([self.checked(box) for box in CHANNELS], [True] * 8)
        self.assertEqual(self.items(), [A, B], "the feeds up to the first gap, in stored order")
        self.assertEqual(self.selection(), -1)
        self.assertEqual(self.buttons(), "udr")
        self.assertEqual(self.driver.focus(dialog), self.controls[IDOK], "the focus starts on OK")
        _, ex_style = self.driver.style(dialog)
        self.assertTrue(ex_style & 0x80, "a tool window")

        # The spin's up arrow raises the number.
        spin = self.rect(SPIN)
        self.desktop.click(spin.centre()[0], spin.top + spin.height // 4)
        self.assertTrue(e2e.winetest.wait_for(lambda: self.interval() == "6", timeout=5),
                        "the up arrow made %r of 5" % self.interval())

        self.click_and_wait(CHANNELS[0], lambda: not self.checked(CHANNELS[0]), "News did not clear")
        self.click_and_wait(NOTIFY, lambda: self.checked(NOTIFY), "Notify did not check")
        self.click_item(0)
        self.assertEqual(self.buttons(), "uDR")
        self.click_and_wait(REMOVE, lambda: self.items() == [B], "Remove did not remove the first feed")
        self.assertEqual(self.selection(), 0, "the feed that followed takes the selection")
        self.assertEqual(self.buttons(), "udR")

        # A second Settings command brings the open dialog forward instead of opening another.
        self.driver.post(self.popup, e2e.WM_COMMAND, e2e.ID_TRAY_SETTINGS)
        time.sleep(e2e.GRACE)
        self.assertEqual(self.driver.count(e2e.SETTINGS_CAPTION), (1, 1))
        self.assertEqual(self.items(), [B], "the open dialog lost its edits")

        self.click(IDCANCEL)
        self.assertClosed()
        self.assertEqual(self.desktop.settings(), seeded, "Cancel wrote to the registry")
        self.news.idle()
        self.assertEqual(self.news.service.count(PRESET), presets, "Cancel rebuilt the feed list")

    def test_2_links_dropped_on_the_list(self):
        self.open_settings()
        self.assertEqual(self.items(), [A, B], "Cancel did not discard the edits")
        self.assertEqual(self.interval(), "5")
        self.assertTrue(self.checked(CHANNELS[0]))
        self.click_item(1)
        self.assertEqual(self.buttons(), "UdR")

        centre = self.rect(FEED_LIST).centre()
        self.assertEqual(self.drop(DROPPED, centre), 1, "the list refused a link")
        self.assertEqual(self.items(), [A, B, DROPPED])
        self.assertEqual(self.selection(), 1, "the new item took the selection")
        self.assertEqual(self.buttons(), "UdR", "a drop re-evaluated the buttons")

        self.assertEqual(self.drop(DROPPED.upper(), centre), 1, "a link already listed is no failure")
        self.assertEqual(self.drop(DROPPED, centre), 1)
        outside = self.rect(CHANNELS[1]).centre()
        self.assertEqual(self.drop("http://outside.test/", outside), 0, "a drop beside the list was taken")
        self.assertEqual(self.items(), [A, B, DROPPED], "a duplicate or a drop beside the list was added")

        self.assertEqual(self.drop(LINES, centre), 1)
        self.assertEqual(self.drop(BARE, centre, terminated=False), 1)
        border = self.rect(FEED_LIST)
        self.assertEqual(self.drop(EDGE, (border.left, border.centre()[1])), 1, "the list's border refused")
        self.assertEqual(self.items(), [A, B, DROPPED, LINES, BARE, EDGE],
                         "several lines make one item; text without a terminator ends with its block")

    def test_3_list_buttons(self):
        self.assertTrue(self.dialog, "no dialog from the step before")
        self.click_item(1)
        self.click_and_wait(MOVE_UP, lambda: self.items()[:2] == [B, A], "Move up did not move B up")
        self.assertEqual(self.selection(), 0)
        self.assertEqual(self.buttons(), "uDR")

        self.click_item(5)
        self.assertEqual(self.buttons(), "UdR")
        # The handler of the disabled button, invoked anyway, changes nothing.
        before = self.items()
        self.driver.post(self.dialog, e2e.WM_COMMAND, MOVE_DOWN | BN_CLICKED << 16, self.controls[MOVE_DOWN])
        time.sleep(0.5)
        self.assertEqual(self.items(), before)
        self.assertEqual(self.selection(), 5)

        self.click_and_wait(REMOVE, lambda: len(self.items()) == 5, "Remove of the last item")
        self.assertEqual(self.selection(), -1, "removing the last item leaves nothing selected")
        self.assertEqual(self.buttons(), "udr")

        self.click_item(3)
        self.click_and_wait(MOVE_DOWN, lambda: self.items()[3:] == [BARE, LINES], "Move down")
        self.assertEqual(self.selection(), 4)
        self.click_and_wait(REMOVE, lambda: self.items() == [B, A, DROPPED, BARE], "Remove")
        self.click_item(3)
        self.click_and_wait(REMOVE, lambda: self.items() == [B, A, DROPPED], "Remove")

    def test_4_interval_checks_then_ok(self):
        self.assertTrue(self.dialog, "no dialog from the step before")
        self.click_and_wait(CHANNELS[0], lambda: not self.checked(CHANNELS[0]), "News did not clear")
        for typed in ("0", "121"):
            self.type_interval(typed)
            self.assertRefused(RANGE_MESSAGE)
        self.type_interval("")
        self.assertRefused(NUMBER_MESSAGE)
        # The box takes digits only from the keyboard; other text can still arrive, as by a paste.
        self.driver.set_text(self.controls[INTERVAL], "-5")
        self.assertRefused(RANGE_MESSAGE)
        self.driver.set_text(self.controls[INTERVAL], "abc")
        self.assertRefused(NUMBER_MESSAGE)
        self.driver.set_text(self.controls[INTERVAL], "  7abc")
        presets = self.news.service.count(PRESET)
        self.click(IDOK)
        self.assertClosed()
        self.news.idle()
        self.assertEqual(self.news.service.count(PRESET), presets + 1, "OK rebuilds the chosen channel's feed list")

        stored = self.desktop.settings()
        self.assertEqual(stored["Interval"], ("REG_DWORD", "0x7"))
        self.assertEqual(stored["Notify"], ("REG_DWORD", "0x0"), "notify 5, shown clear, comes back as 0")
        self.assertEqual(int(stored["Channels"][1], 16) & 0xFF, 0xFE, "News alone cleared")
        self.assertEqual([stored.get("Feed%d" % n) for n in (1, 2, 3)],
                         [("REG_SZ", B), ("REG_SZ", A), ("REG_SZ", DROPPED)])
        self.assertNotIn("Feed4", stored, "the stray value after the new list would join it at the next start")
        self.assertEqual(stored.get("Feed6"), ("REG_SZ", FURTHER), "values further on are left alone")
        self.assertNotIn("PreferredChannel", stored)

        # The members took the values: the dialog opens with them.
        self.open_settings()
        self.assertEqual((self.interval(), self.items()), ("7", [B, A, DROPPED]))
        self.driver.set_text(self.controls[INTERVAL], "9")

        # Exit while the dialog is open ends the program at once; the dialog's edits are dropped.
        self.assertEqual(self.desktop.run("/Uninstall"), 0)
        self.assertEqual(self.desktop.running.wait(timeout=e2e.WAIT), 0, "Lullcast did not end")
        self.assertEqual(self.desktop.settings()["Interval"], ("REG_DWORD", "0x7"))


# Subscription lists, as feed readers export them.
LISTED = ["http://harbour.test/rss.xml", "https://rescue.test/feed?a=1&b=2", "http://scheme.test/rss"]
EXPORTED = """<?xml version="1.0" encoding="UTF-8"?>
<opml version="2.0"><head><title>Subscriptions</title></head><body>
  <outline text="News">
    <outline type="rss" text="Harbour" xmlUrl="http://harbour.test/rss.xml"/>
    <outline type="rss" text="Already listed" xmlUrl="HTTP://A.TEST/RSS"/>
    <outline type="rss" text="Rescue" xmlUrl="https://rescue.test/feed?a=1&amp;b=2"/>
  </outline>
  <outline type="rss" text="Local" xmlUrl="file:///C:/users/Public/secret.xml"/>
  <outline type="rss" text="Feed link" xmlUrl="feed://scheme.test/rss"/>
</body></opml>
"""
LINKED = ["http://linked.test/one.xml", "http://linked.test/two.xml"]
# A list fetched is given up this long after its drop; the trickling server sends a byte this often.
FETCH_DEADLINE_S = 15
TRICKLE_GAP_S = 5
LATE = ["http://late.test/never.xml"]


class TricklingServer:
    """A web server on 127.0.0.1 that answers one request with the start of a long list and then a
    byte every `gap` seconds, for `seconds`; it notes when the client has gone (closed, a monotonic
    time) and how many bytes it sent."""

    def __init__(self, gap, seconds=150):
        self.gap, self.seconds = gap, seconds
        self.connected = self.closed = None
        self.sent = 0
        self._listener = socket.create_server(("127.0.0.1", 0))
        self._stopping = threading.Event()
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self._listener.getsockname()[1], path)

    def _serve(self):
        self._listener.settimeout(1)
        while not self._stopping.is_set():
            try:
                connection, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with connection:
                self.connected = time.monotonic()
                self._trickle(connection)
            return

    def _trickle(self, connection):
        request = b""
        while b"\r\n\r\n" not in request:
            piece = connection.recv(4096)
            if not piece:
                self.closed = time.monotonic()
                return
            request += piece
        body = b"<?xml version='1.0'?><opml version='1.0'><body><outline xmlUrl='http://trickle.test/rss'/>"
        body += b" " * 100000 + b"</body></opml>"
        connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/x-opml\r\nContent-Length: %d\r\n\r\n" % len(body))
        until = time.monotonic() + self.seconds
        while not self._stopping.is_set() and time.monotonic() < until and self.sent < len(body):
            readable, _, _ = select.select([connection], [], [], self.gap)
            if readable:
                try:
                    gone = connection.recv(4096) == b""
                except OSError:
                    gone = True
                if gone:
                    self.closed = time.monotonic()
                    return
                continue
            try:
                connection.sendall(body[self.sent:self.sent + 1])
            except OSError:
                self.closed = time.monotonic()
                return
            self.sent += 1

    def stop(self):
        self._stopping.set()
        self._listener.close()
        self._thread.join(timeout=self.gap + 5)


def opml(feeds):
    return ("<opml version='1.0'><body>%s</body></opml>"
            % "".join("<outline xmlUrl='%s'/>" % feed for feed in feeds))


class SubscriptionListTest(SettingsDialogCase):
    """Subscription lists (OPML) and feed: links dropped on My Feeds: the files from another
    program as a file manager drags them, the links as a browser does."""

    @classmethod
    def setUpClass(cls):
        cls.start([("Feed1", "REG_SZ", A)], stall_seconds=60, slow_pause=0.5, slow_pieces=6)
        service = cls.news.service
        service.put("/lists/linked.opml", opml(LINKED))
        service.put("/lists/late.opml", opml(LATE))
        service.put("/lists/after.opml", opml(["http://after.test/rss"]))
        service.put("/lists/after-trickle.opml", opml(["http://after-trickle.test/rss"]))
        cls.files = {}
        for name, body in [("Subscriptions.opml", EXPORTED), ("Local feed.xml", "<rss version='2.0'><channel/></rss>"),
                           ("notes.txt", "http://notes.test/ is no list"), ("page.html", "<html><body/></html>"),
                           ("More.opml", opml(["http://more.test/rss"]))]:
            path = cls.desktop.wine.drive_c("users", "Public", name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w", encoding="utf-8") as f:
                f.write(body)
            cls.files[name] = "C:\\users\\Public\\" + name

    def test_1_a_list_from_a_file_manager_adds_its_feeds_in_order(self):
        self.open_settings()
        self.assertEqual(self.items(), [A])
        self.assertEqual(self.drop_files([self.files["Subscriptions.opml"]]), 1, "the list was refused")
        self.assertEqual(self.items(), [A] + LISTED, "listed once each, in order, without the local file")
        self.assertEqual(self.drop_files([self.files["Subscriptions.opml"]]), 1, "a list already taken is no failure")
        self.assertEqual(self.items(), [A] + LISTED)

    def test_2_a_feed_file_that_names_no_web_address_and_other_files_are_refused(self):
        before = self.items()
        self.assertEqual(self.drop_files([self.files["Local feed.xml"]]), 0, "a feed file's path was taken")
        for name in ("notes.txt", "page.html"):
            self.assertEqual(self.drop_files([self.files[name]]), 0, "%s was taken" % name)
        self.assertEqual(self.drop_files([self.files["notes.txt"], self.files["page.html"]]), 0)
        self.assertEqual(self.items(), before, "a file that is neither a list nor a feed added something")
        self.assertEqual(self.drop_files([self.files["notes.txt"], self.files["More.opml"]]), 1)
        self.assertEqual(self.items(), before + ["http://more.test/rss"])

    def test_3_feed_links_stand_for_their_web_address(self):
        before = self.items()
        self.assertEqual(self.drop("feed://feeds.test/rss", self.rect(FEED_LIST).centre()), 1)
        self.assertEqual(self.drop("feed:https://secure.test/atom", self.rect(FEED_LIST).centre()), 1)
        self.assertEqual(self.drop("FEED://FEEDS.TEST/RSS", self.rect(FEED_LIST).centre()), 1)
        self.assertEqual(self.items(), before + ["http://feeds.test/rss", "https://secure.test/atom"])

    def test_4_a_linked_list_is_fetched_while_the_dialog_goes_on(self):
        before = self.items()
        link = self.news.service.url("/slow/lists/linked.opml")  # three seconds in coming
        started = time.monotonic()
        self.assertEqual(self.drop(link, self.rect(FEED_LIST).centre()), 1)
        self.assertEqual(self.items(), before, "the list's feeds came before the list")
        # The dialog answers while the list is on its way.
        self.click_item(0)
        self.assertEqual(self.selection(), 0, "the dialog did not answer while the list was fetched")
        self.assertEqual(self.items(), before)
        self.assertTrue(e2e.winetest.wait_for(lambda: self.items() == before + LINKED, timeout=20),
                        "the linked list's feeds did not come: %r" % self.items())
        self.assertGreater(time.monotonic() - started, 2.0)
        self.assertNotIn(link, self.items(), "the link to the list is no feed")

    def test_5_a_list_that_never_comes_adds_nothing(self):
        before = self.items()
        stalled = self.news.service.url("/stall/lists/stalled.opml")
        self.assertEqual(self.drop(stalled, self.rect(FEED_LIST).centre()), 1)
        waiting_since = time.monotonic()
        other = self.news.service.url("/lists/after.opml")
        self.assertEqual(self.drop(other, self.rect(FEED_LIST).centre()), 0, "a second list while one is on its way")
        # Past the deadline the wait is given up; the stalled request ends when the server lets go,
        # and a list can be fetched again.
        time.sleep(max(0.0, 15 + 1.5 - (time.monotonic() - waiting_since)))
        self.news.service.release_stalls()
        time.sleep(1)
        self.assertEqual(self.items(), before)
        self.assertEqual(self.drop(other, self.rect(FEED_LIST).centre()), 1)
        self.assertTrue(e2e.winetest.wait_for(lambda: self.items() == before + ["http://after.test/rss"], timeout=10))

    def test_6_a_list_server_that_trickles_holds_no_later_drop(self):
        before = self.items()
        trickle = TricklingServer(gap=TRICKLE_GAP_S)
        self.addCleanup(trickle.stop)
        self.assertEqual(self.drop(trickle.url("/lists/trickle.opml"), self.rect(FEED_LIST).centre()), 1)
        dropped = time.monotonic()
        self.assertTrue(e2e.winetest.wait_for(lambda: trickle.connected, timeout=e2e.WAIT), "the list was not asked for")
        # The download ends at the deadline, once the next byte has come: the server sees it go.
        limit = FETCH_DEADLINE_S + TRICKLE_GAP_S + 10
        self.assertTrue(e2e.winetest.wait_for(lambda: trickle.closed, timeout=limit + 5),
                        "the download went on for %.0f s, %d bytes" % (time.monotonic() - dropped, trickle.sent))
        self.assertLess(trickle.closed - dropped, limit)
        self.assertEqual(self.items(), before, "the list cut short added feeds")
        # Then another list is fetched at once.
        other = self.news.service.url("/lists/after-trickle.opml")
        self.assertEqual(self.drop(other, self.rect(FEED_LIST).centre()), 1, "a drop after the deadline was refused")
        self.assertTrue(e2e.winetest.wait_for(lambda: self.items() == before + ["http://after-trickle.test/rss"],
                                              timeout=e2e.WAIT), "the second list's feeds did not come: %r" % self.items())

    def test_7_a_list_that_comes_after_the_dialog_closed_adds_nothing(self):
        listed = self.items()
        self.assertEqual(self.drop(self.news.service.url("/slow/lists/late.opml"), self.rect(FEED_LIST).centre()), 1)
        self.click(IDOK)
        self.assertClosed()
        time.sleep(5)  # the list has come by now, to a dialog that is gone
        stored = self.desktop.settings()
        self.assertEqual([stored.get("Feed%d" % n, ("", ""))[1] for n in range(1, len(listed) + 2)], listed + [""])
        self.assertIsNone(self.desktop.running.poll(), "Lullcast ended")
        self.open_settings()
        self.assertEqual(self.items(), listed)
        self.click(IDCANCEL)
        self.assertClosed()


# A feed saved from the web names its own address; a feed without one does not.
SAVED_FEED = """<?xml version="1.0"?>
<rss version="2.0" xmlns:atom="http://www.w3.org/2005/Atom"><channel><title>Saved harbour news</title>
<link>{{service}}/</link><description>A feed saved from the web.</description>
<atom:link href="{{service}}/feeds/news-2.xml" rel="self" type="application/rss+xml"/>
<item><title>Saved item</title><link>{{service}}/articles/saved.html</link><description>Kept on disk.</description>
<pubDate>Tue, 08 Dec 2026 10:00:00 GMT</pubDate></item></channel></rss>
"""
BARE_FEED = "<rss version='2.0'><channel><title>Bare</title><item><title>x</title></item></channel></rss>"
SAVED = "C:\\users\\Public\\Saved feed.xml"
BARE = "C:\\users\\Public\\Bare feed.xml"


class LocalFeedFilesTest(SettingsDialogCase):
    """Feed files of this machine in My Feeds: one listed by an earlier version is read but never
    reported to the service; a feed file dropped on the list adds the web address it names as its
    own, and one that names none is refused."""

    @classmethod
    def setUpClass(cls):
        cls.start([("PreferredChannel", "REG_DWORD", "0xffffffff"), ("Feed1", "REG_SZ", SAVED)])
        cls.desktop.open_links_with_recorder()
        address = cls.news.service.address
        for path, body in ((SAVED, SAVED_FEED.replace("{{service}}", address)), (BARE, BARE_FEED)):
            unix = cls.desktop.wine.drive_c(*path.split("\\")[1:])
            os.makedirs(os.path.dirname(unix), exist_ok=True)
            with open(unix, "w", encoding="utf-8") as f:  # before the first refresh, 10 s after the start
                f.write(body)

    def local_traces(self):
        """The reports that name anything of this machine's files."""
        return [query for query in self.news.service.clicks()
                if any(mark in urllib.parse.unquote(query).lower() for mark in ("c:", "\\", "users", "saved feed", "file:"))]

    def dock(self):
        window = self.driver.create("Copying...", (300, 300, 520, 180))
        ok, seen = self.desktop.wait_docked(window)
        self.assertTrue(ok, "the popup did not come below the window: " + seen)
        return window

    def undock(self, window):
        """Closes the watched window, so that no popup stands over the dialog while files are dragged."""
        self.driver.destroy(window)
        ok, seen = e2e.wait_check(self.desktop.popup_out_of_sight, e2e.WAIT)
        self.assertTrue(ok, "the popup stayed: " + seen)

    def test_1_a_local_feed_in_my_feeds_is_read_but_never_reported(self):
        news = self.news
        self.assertEqual(news.wait_title("Saved item", timeout=40), "Saved item", "the local feed was not read")
        window = self.dock()
        news.click_link_bar(e2e.FEED_X)  # the only feed again: a view of it
        self.assertEqual(news.shown_title(), "Saved item")
        news.click_item()
        self.assertTrue(e2e.winetest.wait_for(self.desktop.opened_links, timeout=e2e.WAIT), "the click opened nothing")
        news.idle()
        self.assertEqual(news.service.clicks(), [], "a local feed was reported")
        self.undock(window)

    def test_2_a_dropped_feed_file_adds_the_web_address_it_names(self):
        news = self.news
        web = news.feed_url("news-2.xml")
        self.open_settings()
        self.assertEqual(self.items(), [SAVED])
        self.assertEqual(self.drop_files([SAVED]), 1, "the saved feed was refused")
        self.assertEqual(self.items(), [SAVED, web], "the feed's own address, not its path")
        self.assertEqual(self.drop_files([BARE]), 0, "a feed file that names no address of its own was taken")
        self.assertEqual(self.items(), [SAVED, web])
        self.click(IDOK)
        self.assertClosed()
        self.assertEqual(self.desktop.settings().get("Feed2"), ("REG_SZ", web))
        self.dock()
        news.click_link_bar(e2e.FEED_X)  # the web feed, reported
        self.assertEqual(news.status(), "Fischmarkt öffnet früher")
        news.click_link_bar(e2e.FEED_X)  # the local one again, not reported
        self.assertEqual(news.shown_title(), "Saved item")
        self.assertEqual(news.views(), [web])
        self.assertEqual(self.local_traces(), [])


if __name__ == "__main__":
    unittest.main()
