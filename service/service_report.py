"""What an operator of the reference service asks of its reports: the views and click-throughs per
channel and per feed, for one day or a range of days, from either store; and the deletion of the
reports older than some days.

    python3 service/service_report.py --db reports.sqlite                 (today)
    python3 service/service_report.py --db reports.sqlite --day 2026-12-09
    python3 service/service_report.py --config /etc/lullcast/lullcast.env --from 2026-12-01 --to 2026-12-09
    python3 service/service_report.py --config /etc/lullcast/lullcast.env --delete-older-than 90

The configuration is the service's own environment file (KEY=value lines, as systemd reads it;
/etc/lullcast/lullcast.env when it exists): LULLCAST_DB, LULLCAST_ADDRESS, LULLCAST_CATALOG and
LULLCAST_USER. Run as root, the command becomes LULLCAST_USER before it connects, so that it reaches
the database as the service does. --db and --address given on the command line come first.

A view is a report with action=view, a click-through one with action=browse. A feed belongs to the
channel whose address in the catalogue's channels.txt is the report's whole feed address
("{{service}}" standing for LULLCAST_ADDRESS; without one, for any scheme and host); any other feed
(the users' own) is counted under "Other feeds". Days are the local days of the machine that runs
the command; the reports' times are stored in UTC.
"""
import argparse
import datetime
import os
import sys

import service_app
import service_store

OTHER = service_app.OTHER
CONFIG = service_store.CONFIG


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
    return (service_store.time_text(datetime.datetime.combine(first, datetime.time())),
            service_store.time_text(datetime.datetime.combine(last + datetime.timedelta(days=1), datetime.time())))


def summarise(totals, catalog=None, address=None):
    """From (feed, action, count) rows: ({channel: [views, clicks]} in the catalogue's channel order
    with OTHER last, {feed: [views, clicks]} by feed)."""
    catalog = service_app.CHANNELS if catalog is None else catalog
    channels = {name: [0, 0] for name, _ in catalog}
    channels[OTHER] = [0, 0]
    feeds = {}
    for feed, action, count in totals:
        column = {"view": 0, "browse": 1}.get(action)
        if column is None:
            continue
        channels[service_app.channel_of(feed, catalog, address)][column] += count
        feeds.setdefault(feed or "", [0, 0])[column] += count
    return channels, dict(sorted(feeds.items()))


def render(channels, feeds, start_day, end_day):
    first, last = start_day.isoformat(), end_day.isoformat()
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
    parser.add_argument("--config", help="the service's environment file (default %s when it exists)" % CONFIG)
    parser.add_argument("--db", help="SQLite file, or PostgreSQL connection string, of the reports"
                                     " (default LULLCAST_DB, else reports.sqlite)")
    parser.add_argument("--address", help="the service's public address (default LULLCAST_ADDRESS)")
    parser.add_argument("--delete-older-than", type=int, metavar="DAYS",
                        help="delete the reports older than this many days instead of counting")
    parser.add_argument("--day", help="one day, YYYY-MM-DD (default today)")
    parser.add_argument("--from", dest="first", help="first day of a range, YYYY-MM-DD")
    parser.add_argument("--to", dest="last", help="last day of a range, YYYY-MM-DD (inclusive)")
    args = parser.parse_args(argv)
    config = dict((k, v) for k, v in os.environ.items() if k.startswith("LULLCAST_"))
    path = args.config or (CONFIG if os.path.isfile(CONFIG) else None)
    if path:
        try:
            config.update(service_store.read_config(path))
        except OSError as error:
            parser.error("cannot read the configuration: %s" % error)
    database = args.db or config.get("LULLCAST_DB") or "reports.sqlite"
    address = args.address or config.get("LULLCAST_ADDRESS") or None
    catalog = service_app.read_catalog(config.get("LULLCAST_CATALOG") or service_app.CATALOG)
    try:
        start, end = day_range(args.day, args.first, args.last)
    except ValueError as error:
        parser.error(str(error))
    if args.delete_older_than is not None and args.delete_older_than < 0:
        parser.error("--delete-older-than takes a number of days, 0 or more")
    service_store.become(config.get("LULLCAST_USER"))
    if not service_store.is_postgresql(database) and not os.path.isfile(database):
        parser.error("no such reports file: %s" % database)
    store = service_store.open_store(database)
    try:
        if args.delete_older_than is not None:
            before = service_store.time_text(datetime.datetime.now(datetime.timezone.utc) -
                                             datetime.timedelta(days=args.delete_older_than))
            print("deleted %d reports older than %s" % (store.delete_before(before), before))
            return 0
        channels, feeds = summarise(store.totals(start, end), catalog, address)
    finally:
        store.close()
    first = datetime.date.fromisoformat(args.day or args.first or args.last or datetime.date.today().isoformat())
    last = datetime.date.fromisoformat(args.day or args.last or first.isoformat())
    sys.stdout.write(render(channels, feeds, first, last))


if __name__ == "__main__":
    sys.exit(main())
