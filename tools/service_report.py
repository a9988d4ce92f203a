"""What an operator of the reference service asks of its reports: the views and click-throughs per
channel and per feed, for one day or a range of days, from either store.

    python3 tools/service_report.py --db reports.sqlite                 (today)
    python3 tools/service_report.py --db reports.sqlite --day 2026-12-09
    /usr/bin/python3 tools/service_report.py --db postgresql://lullcast@/lullcast --from 2026-12-01 --to 2026-12-09

A view is a report with action=view, a click-through one with action=browse. A feed belongs to the
channel whose key its file name under /feeds/ begins with (news-1.xml to News, as in the preset
list); any other feed (the users' own) is counted under "Other feeds". Days are the service's
local days, as the reports' times are.
"""
import argparse
import datetime
import os
import posixpath
import sys
import urllib.parse

import service_app
import service_store

OTHER = "Other feeds"


def channel_of(feed):
    """The channel name of a feed URL, or OTHER."""
    path = urllib.parse.urlsplit(feed or "").path
    if posixpath.basename(posixpath.dirname(path)) == "feeds":
        name = posixpath.basename(path)
        for key, channel in service_app.CHANNELS:
            if name.startswith(key + "-"):
                return channel
    return OTHER


def day_range(day=None, first=None, last=None):
    """(start, end) time texts of the reports to count: one day, or first to last inclusive."""
    if day and (first or last):
        raise ValueError("give either a day or a range")
    if not day and not first and not last:
        day = datetime.date.today().isoformat()
    first = datetime.date.fromisoformat(day or first or last)
    last = datetime.date.fromisoformat(day or last or first.isoformat())
    if last < first:
        raise ValueError("the range ends before it begins")
    return first.isoformat() + " 00:00:00", (last + datetime.timedelta(days=1)).isoformat() + " 00:00:00"


def summarise(totals):
    """From (feed, action, count) rows: ({channel: [views, clicks]} in the program's channel order
    with OTHER last, {feed: [views, clicks]} by feed)."""
    channels = {name: [0, 0] for _, name in service_app.CHANNELS}
    channels[OTHER] = [0, 0]
    feeds = {}
    for feed, action, count in totals:
        column = {"view": 0, "browse": 1}.get(action)
        if column is None:
            continue
        channels[channel_of(feed)][column] += count
        feeds.setdefault(feed or "", [0, 0])[column] += count
    return channels, dict(sorted(feeds.items()))


def render(channels, feeds, start, end):
    first, last = start[:10], (datetime.date.fromisoformat(end[:10]) - datetime.timedelta(days=1)).isoformat()
    lines = ["Views and click-throughs on %s" % first if first == last else
             "Views and click-throughs from %s to %s" % (first, last), ""]
    width = max([len("Channel")] + [len(c) for c in channels])
    lines.append("%-*s %8s %15s" % (width, "Channel", "Views", "Click-throughs"))
    for name, (views, clicks) in channels.items():
        lines.append("%-*s %8d %15d" % (width, name, views, clicks))
    lines.append("%-*s %8d %15d" % (width, "Total", sum(v for v, _ in channels.values()),
                                    sum(c for _, c in channels.values())))
    lines.append("")
    width = max([len("Feed")] + [len(f) for f in feeds])
    lines.append("%-*s %8s %15s" % (width, "Feed", "Views", "Click-throughs"))
    for feed, (views, clicks) in feeds.items():
        lines.append("%-*s %8d %15d" % (width, feed, views, clicks))
    if not feeds:
        lines.append("(no reports)")
    return "\n".join(lines) + "\n"


def main(argv=None):
    parser = argparse.ArgumentParser(description="Views and click-throughs per channel and feed.")
    parser.add_argument("--db", default="reports.sqlite",
                        help="SQLite file, or PostgreSQL connection string, of the reports")
    parser.add_argument("--day", help="one day, YYYY-MM-DD (default today)")
    parser.add_argument("--from", dest="first", help="first day of a range, YYYY-MM-DD")
    parser.add_argument("--to", dest="last", help="last day of a range, YYYY-MM-DD (inclusive)")
    args = parser.parse_args(argv)
    try:
        start, end = day_range(args.day, args.first, args.last)
    except ValueError as error:
        parser.error(str(error))
    if not service_store.is_postgresql(args.db) and not os.path.isfile(args.db):
        parser.error("no such reports file: %s" % args.db)
    store = service_store.open_store(args.db)
    try:
        channels, feeds = summarise(store.totals(start, end))
    finally:
        store.close()
    sys.stdout.write(render(channels, feeds, start, end))


if __name__ == "__main__":
    sys.exit(main())
