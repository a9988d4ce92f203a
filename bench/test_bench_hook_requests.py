"""The request counter of bench_hook_requests.py, fed a Wine server trace of the kind that
wineserver -d1 writes: the workload's requests are told from the others' by thread, and counted
from its second window's creation to its last."""
import unittest

import bench_hook_requests as bench

BENCH_WINDOW = ('create_window( parent=00010020, owner=00000000, atom=0000, instance=140000000, dpi=96, '
                'awareness=2, style=00cf0000, ex_style=00000100, class=L"LullcastBenchWindow" )')
IME_WINDOW = ('create_window( parent=00010020, owner=00000000, atom=0000, instance=00000000, dpi=96, '
              'awareness=2, style=8c000000, ex_style=00000000, class=L"IME" )')


def process_start(thread, process, image):
    """The lines of a process's first thread as it starts: who it is, and what program it runs."""
    return ["%s: init_first_thread( unix_pid=1, unix_tid=1, debug_level=1, reply_fd=9, wait_fd=10 )" % thread,
            "%s: init_first_thread() = 0 { pid=%s, tid=%s, server_start=1dd8 (-0.1), session_id=00000001 }"
            % (thread, process, thread),
            "%s: *fd* 0004 -> 17" % thread,
            "%s: get_startup_info( )" % thread,
            '%s: get_startup_info() = 0 { info_size=250, info={debug_flags=0,curdir=L"C:\\\\Tools\\\\",'
            'imagepath=L"%s",cmdline=L"\\"%s\\" 4"} }' % (thread, image.replace("\\", "\\\\"),
                                                          image.replace("\\", "\\\\"))]


def window_cycle(thread, extra=()):
    """One window created and destroyed by the thread, with a few requests of its own."""
    return (["%s: %s" % (thread, BENCH_WINDOW),
             "%s: create_window() = 0 { handle=0002006e, parent=00010020 }" % thread,
             "%s: %s" % (thread, IME_WINDOW),
             "%s: get_message( flags=00000001, get_win=00000000, get_first=00000000 )" % thread,
             "%s: get_message() = NO_DATA { win=00000000 }" % thread]
            + list(extra)
            + ["%s: destroy_window( handle=0002006e )" % thread,
               "%s: destroy_window() = 0" % thread])


def feed(counter, lines):
    for line in lines:
        counter.feed(line + "\n")



def windows_made(program, windows):
    """A counter of hookbench.exe's requests that has seen C:\\Tools\\program start and make windows."""
    counter = bench.RequestCounter("hookbench.exe")
    feed(counter, process_start("0124", "0120", "C:\\Tools\\" + program))
    for _ in range(windows):
        feed(counter, window_cycle("0124"))
    return counter


class RequestCounterTest(unittest.TestCase):
    def test_counts_the_workloads_threads_from_its_second_window_to_its_last(self):
        counter = bench.RequestCounter("hookbench.exe")
        lines = process_start("0034", "0030", r"C:\windows\system32\explorer.exe")
        lines += process_start("0124", "0120", r"C:\Tools\hookbench.exe")
        # A thread of its own, and one that it makes in another process.
        lines += ["0124: new_thread( process=ffffffff, access=001fffff, flags=00000000, request_fd=9, objattr={} )",
                  "0124: *fd* 02f6 -> 204",
                  "0124: new_thread() = 0 { tid=0128, handle=0040 }",
                  "0124: new_thread( process=0044, access=001fffff, flags=00000001, request_fd=-1, objattr={} )",
                  "0124: new_thread() = 0 { tid=002c, handle=0048 }"]
        # The first window, with what a process pays once: not counted.
        lines += window_cycle("0124", ["0124: get_hook_info( handle=00010090, get_next=1, event=1 )",
                                       "0034: get_window_tree( handle=00020030 )"])
        # Then three, with requests of the program's other thread, while the shell and the thread
        # made in the other process keep asking too.
        for _ in range(3):
            lines += window_cycle("0124", ["0128: get_window_info( handle=000d0072 )",
                                           "0128: get_window_info() = 0 { full_handle=000d0072 }",
                                           "0034: get_window_tree( handle=00020030 )",
                                           "002c: set_window_info( flags=0000, is_unicode=0, handle=000d0072 )",
                                           "0124: send_message( id=0150, type=6, flags=0, win=000d0072 )",
                                           "0124: send_message() = 0"])
        lines += ["0124: close_handle( handle=0040 )", "0124: terminate_process( handle=ffffffff, exit_code=0 )"]
        feed(counter, lines)

        run = counter.finished_run(4, timeout=0)
        self.assertIsNotNone(run)
        self.assertEqual(run.per_window(), {
            # From the second window's creation to the fourth's: two windows' worth.
            "create_window": 2.0, "destroy_window": 1.0, "get_message": 1.0,
            "get_window_info": 1.0, "send_message": 1.0})
        self.assertIsNone(counter.finished_run(4, timeout=0), "a run is handed out once")

    def test_a_run_is_handed_out_only_once_it_has_made_all_its_windows(self):
        counter = windows_made("hookbench.exe", 3)
        self.assertIsNone(counter.finished_run(4, timeout=0))
        feed(counter, window_cycle("0124"))
        self.assertIsNotNone(counter.finished_run(4, timeout=0))

    def test_another_program_is_not_counted(self):
        counter = windows_made("nothookbench.exe", 4)
        self.assertIsNone(counter.finished_run(4, timeout=0))

    def test_fewer_than_three_windows_count_none(self):
        counter = windows_made("hookbench.exe", 2)
        run = counter.finished_run(2, timeout=0)
        with self.assertRaises(ValueError):
            run.per_window()


if __name__ == "__main__":
    unittest.main()
