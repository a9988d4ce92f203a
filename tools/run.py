#!/usr/bin/env python3
"""Runs the built Lullcast under Wine against the reference service (service/embedded_service.py
on 127.0.0.1), opens a demo window titled like a copy in progress so that the popup docks under it,
waits for the first news and writes a screenshot to docs/screenshot.png; then opens the channel
menu (docs/channel-menu.png) and moves the demo window to the bottom of the screen, where the
popup goes above it (docs/popup-above.png), opens the settings dialog (docs/settings-dialog.png);
then turns the apps theme dark (docs/popup-dark.png)
and high contrast on (docs/popup-high-contrast.png, where the system lets it be turned on: Wine 8
does not).

On $DISPLAY when it is set (Lullcast then runs until you press Ctrl+C), otherwise on a private
Xvfb display that is closed again after the screenshot.

    python3 tools/run.py BUILD_FOLDER
"""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "service"))

import embedded_service  # noqa: E402
import wine_desktop  # noqa: E402
from wine_desktop import Driver, DriverError  # noqa: E402

MENU_ICON = 1013
# Asked of a hook thread's window: whether its hook is installed.
WM_HOOK_INSTALLED = 0x8000 + 1

DEMO_TITLE = "Copying 12 items - 42% complete"
DEMO_RECT = (360, 300, 560, 200)  # left, top, width, height
FIRST_REFRESH_S = 10  # Lullcast loads its first feed this long after start
WM_SETTINGCHANGE = 0x001A
WM_COMMAND = 0x0111
IDCANCEL = 2
ID_TRAY_SETTINGS = 32776
SETTINGS_CAPTION = "Lullcast Settings"
PERSONALIZE = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize"
# COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HOTLIGHT of a white and yellow on black scheme
HIGH_CONTRAST = {5: 0x000000, 8: 0xFFFFFF, 13: 0x00FFFF, 26: 0xFFFF00}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    build = os.path.abspath(sys.argv[1])
    screenshot = os.path.join(HERE, "..", "docs", "screenshot.png")
    display = os.environ.get("DISPLAY") or None
    reports = os.path.join(HERE, "..", "build", "reports.sqlite")
    os.makedirs(os.path.dirname(reports), exist_ok=True)
    with embedded_service.EmbeddedService(catalog=embedded_service.CATALOG, database=reports) as service, \
            wine_desktop.WineSession(display=display) as session:
        session.env["LULLCAST_SERVICE_URL"] = service.address
        print("reference service on %s, reports in %s" % (service.address, os.path.normpath(reports)))
        folder = session.install([os.path.join(build, "Lullcast.exe"), os.path.join(build, "Lullcast.dll")])
        tools = session.install([os.path.join(build, "lcdriver.exe")], folder="Tools")
        lullcast = session.spawn(os.path.join(folder, "Lullcast.exe"))
        started = time.monotonic()
        driver = Driver(session, os.path.join(tools, "lcdriver.exe"))
        try:
            popup = wine_desktop.wait_for(driver.popup, timeout=60)
            if not popup:
                sys.exit("Lullcast did not start")
            # The watch hook comes right after the popup's caption; a window opened before it is not seen.
            wine_desktop.wait_for(lambda: any(driver.send(hook.handle, WM_HOOK_INSTALLED) == 1
                                          for hook in driver.hook_windows() if hook.process == popup.process),
                              timeout=30)
            window = driver.create(DEMO_TITLE, DEMO_RECT)
            docked = wine_desktop.wait_for(lambda: _docked(driver, window), timeout=30)
            print("popup docked below the demo window:" if docked else "the popup did not dock:", docked)
            # The first refresh puts the newest item of the first News feed on display.
            time.sleep(max(0, started + FIRST_REFRESH_S - time.monotonic()))
            news = wine_desktop.wait_for(lambda: driver.text(docked.handle, 1003) if docked else None, timeout=30)
            print("channel:", news)
            time.sleep(1)  # let the desktop finish painting
            os.makedirs(os.path.dirname(screenshot), exist_ok=True)
            session.screenshot(screenshot)
            print("screenshot:", os.path.normpath(screenshot))
            if docked:
                _more_screenshots(session, driver, window, docked.handle)
            if display:
                print("Lullcast runs on %s; press Ctrl+C to end it." % display)
                lullcast.wait()
        except KeyboardInterrupt:
            pass
        finally:
            session.run(os.path.join(folder, "Lullcast.exe"), "/Uninstall")
            driver.close()
        if not docked:
            sys.exit(1)


def _more_screenshots(session, driver, window, popup):
    """The channel menu dropped from the menu icon, then the popup above a window at the screen's
    bottom, where there is no room below it."""
    docs = os.path.join(HERE, "..", "docs")
    icon = next(c.handle for c in driver.children(popup) if c.id == MENU_ICON)
    centre = driver.info(icon).rect.centre()
    xdotool = ["xdotool"]  # on the session's display, which its environment names
    subprocess.run(xdotool + ["mousemove", str(centre[0]), str(centre[1]), "click", "1"], env=session.env, check=True)
    time.sleep(1)
    # The pointer leaves the icon, and the icon's tooltip with it: the menu stays open alone.
    subprocess.run(xdotool + ["mousemove", "20", "20"], env=session.env, check=True)
    time.sleep(1)
    session.screenshot(os.path.join(docs, "channel-menu.png"))
    # The menu goes with Esc; a key that Wine's desktop lost is pressed again.
    for _ in range(5):
        subprocess.run(xdotool + ["key", "Escape"], env=session.env, check=True)
        if wine_desktop.wait_for(lambda: driver.menu() is None, timeout=2):
            break
    driver.destroy(window)
    work = driver.work_area()
    low = driver.create(DEMO_TITLE, (DEMO_RECT[0], work.bottom - 150, DEMO_RECT[2], 140))
    if wine_desktop.wait_for(lambda: (driver.popup() or driver.info(low)).rect.bottom == driver.info(low).rect.top,
                         timeout=30):
        time.sleep(1)
        session.screenshot(os.path.join(docs, "popup-above.png"))
        print("screenshots: docs/channel-menu.png, docs/popup-above.png")
        _settings_screenshot(session, driver, popup, docs)
        _theme_screenshots(session, driver, popup, docs)
    else:
        print("the popup did not go above the window at the bottom:", driver.popup())


def _settings_screenshot(session, driver, popup, docs):
    """The settings dialog, opened as from the tray icon's menu, then closed as with Cancel."""
    driver.post(popup, WM_COMMAND, ID_TRAY_SETTINGS)
    dialog = wine_desktop.wait_for(lambda: driver.find(SETTINGS_CAPTION), timeout=30)
    if not dialog:
        print("the settings dialog did not open: no docs/settings-dialog.png")
        return
    time.sleep(1)
    session.screenshot(os.path.join(docs, "settings-dialog.png"))
    print("screenshot: docs/settings-dialog.png")
    driver.post(dialog, WM_COMMAND, IDCANCEL)
    wine_desktop.wait_for(lambda: not driver.find(SETTINGS_CAPTION), timeout=30)


def _theme_screenshots(session, driver, popup, docs):
    """The popup in the dark scheme, with the apps theme dark as the Settings app sets it, then in
    a high-contrast scheme of white and yellow on black."""
    session.wine("reg", "add", PERSONALIZE, "/v", "AppsUseLightTheme", "/t", "REG_DWORD", "/d", "0", "/f")
    driver.send(popup, WM_SETTINGCHANGE, 0, 0)  # as Windows tells every window
    time.sleep(1)
    session.screenshot(os.path.join(docs, "popup-dark.png"))
    print("screenshot: docs/popup-dark.png")
    try:
        driver.high_contrast(True)
    except DriverError as error:
        print("high contrast cannot be turned on here (%s): no docs/popup-high-contrast.png" % error)
        return
    driver.set_system_colours(HIGH_CONTRAST)
    time.sleep(1)
    session.screenshot(os.path.join(docs, "popup-high-contrast.png"))
    print("screenshot: docs/popup-high-contrast.png")


def _docked(driver, window):
    popup, watched = driver.popup(), driver.info(window)
    if not popup or not watched or not popup.visible:
        return None
    if (popup.rect.left, popup.rect.top, popup.rect.width) != (watched.rect.left, watched.rect.bottom,
                                                               watched.rect.width):
        return None
    return popup


if __name__ == "__main__":
    main()
