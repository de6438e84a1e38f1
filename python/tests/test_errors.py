"""Error codes become exceptions with the code and the library's own text."""
import nyx
import pytest
from conftest import build_buffer


def test_each_code_is_its_own_exception_with_the_library_text(session):
    lib = build_buffer(session)
    with pytest.raises(nyx.error_class(26)) as dup:
        lib.create_cell("inv")
    assert dup.value.code == 26 and dup.value.text == nyx.error_text(26) and dup.value.text
    assert isinstance(dup.value, nyx.NyxError) and "cfidrLibCreateCell" in str(dup.value)
    with pytest.raises(nyx.NyxError) as missing:
        lib.cell("nosuch")
    assert missing.value.code == 27 and type(missing.value) is nyx.error_class(27)
    assert nyx.error_class(27) is nyx.error_class(27) and nyx.error_class(26) is not nyx.error_class(27)
    assert nyx.error_text(0) == "No error occurred."
    assert nyx.error_text(31006)  # extension codes have texts too


def test_objects_of_a_closed_session_report_16(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    monkeypatch.setenv("ZIL_NYX_LIBRARYMAP", ".")
    with nyx.Session() as s:
        cell = s.create_library("gone").create_cell("c")
        with pytest.raises(RuntimeError):
            nyx.Session().__enter__()
    with nyx.Session():
        assert not cell.usable
        with pytest.raises(nyx.NyxError) as e:
            cell.name
        assert e.value.code == 16


def test_a_generator_left_early_quits_its_iterator(session, monkeypatch):
    lib = build_buffer(session)
    quits = []
    real = nyx.objects.lib

    class Counting:
        def __getattr__(self, name):
            fn = getattr(real, name)
            if name == "cfidrIterQuit":
                return lambda it, err: (quits.append(it), fn(it, err))[1]
            return fn

    monkeypatch.setattr(nyx.objects, "lib", Counting())
    cells = lib.cells()
    assert next(cells).name in ("inv", "buffer")
    cells.close()
    assert len(quits) == 1
    assert len(list(lib.cells())) == 2 and len(quits) == 2
