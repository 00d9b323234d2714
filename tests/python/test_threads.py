# Threads: a thread that waits for the component-access lock waits in C without the GIL, so the holder can
# go on running Python and let go; callbacks fired on several threads take the GIL only for their Python.
# Each scenario runs in a child process: with the GIL held by a waiting thread, a deadlock would also stop
# this process's own timeout.
from conftest import run_isolated


def test_waiting_for_the_lock_releases_the_gil():
    out = run_isolated("""
        import threading, time, qxprop
        lst = qxprop.List("t")
        prop = lst.add_property("p", qxprop.INT32, 0)
        holding, written = threading.Event(), threading.Event()
        log = []

        def holder():
            with qxprop.locked():
                holding.set()
                time.sleep(0.05)              # let the writer reach the lock
                spins = 0
                end = time.monotonic() + 0.3
                while time.monotonic() < end:  # pure Python work while the writer waits
                    spins += 1
                log.append(("released", spins, written.is_set()))

        def writer():
            holding.wait(5)
            prop.value = 7
            written.set()

        threads = [threading.Thread(target=holder, daemon=True), threading.Thread(target=writer, daemon=True)]
        for t in threads: t.start()
        for t in threads: t.join(10)
        assert not any(t.is_alive() for t in threads), "stuck"
        (_, spins, written_while_held), = log
        assert spins > 1000, spins             # the holder ran Python while the writer waited
        assert not written_while_held          # and the writer really waited for the lock
        assert prop.value == 7
        print("ok", spins)
    """)
    assert out.startswith("ok")


def test_callbacks_on_many_threads_each_run_once_per_write():
    out = run_isolated("""
        import threading, qxprop
        lst = qxprop.List("t")
        props = [lst.add_property(f"p{k}", qxprop.INT32, 0) for k in range(4)]
        counts = [0] * 4
        lock = threading.Lock()

        def counter(k):
            def on_write(p, values):
                with lock:
                    counts[k] += 1
            return on_write
        for k, p in enumerate(props):
            p.on_write(counter(k))
            p.on_change(lambda c: lst["p0"].value)   # calls back into the library from a callback

        def work(k):
            for v in range(1, 201):
                props[k].value = v
        threads = [threading.Thread(target=work, args=(k,), daemon=True) for k in range(4)]
        for t in threads: t.start()
        for t in threads: t.join(20)
        assert not any(t.is_alive() for t in threads), "stuck"
        assert counts == [200] * 4, counts
        assert [p.value for p in props] == [200] * 4
        print("ok")
    """)
    assert out.startswith("ok")


def test_closing_a_callback_waits_for_its_call_on_another_thread():
    out = run_isolated("""
        import threading, time, qxprop
        lst = qxprop.List("t")
        prop = lst.add_property("p", qxprop.INT32, 0)
        inside, finished = threading.Event(), []

        def slow(c):
            inside.set()
            time.sleep(0.2)
            finished.append(True)
        cb = prop.on_change(slow)
        t = threading.Thread(target=lambda: setattr(prop, "value", 1), daemon=True)
        t.start()
        assert inside.wait(5)
        cb.close()                      # waits, without the GIL, for slow() to return
        assert finished == [True]
        t.join(5)
        assert not t.is_alive()
        print("ok")
    """)
    assert out.startswith("ok")
