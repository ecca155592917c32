import sys

import pytest

import quorlane_py
from conftest import ACCOUNT, ACCOUNT_NUMBER, DOCUMENT, DOCUMENT_TYPE, HEADER, account, document, lineno, statement

TEXT = statement(account(), document())


def result_of(st):
    return (st.encoding, st.header, st.accounts, st.documents, st.warnings)


def hook_error(text, hooks):
    with pytest.raises(quorlane_py.SyntaxError) as info:
        quorlane_py.parse(text, hooks)
    exc = info.value
    assert exc.__cause__ is None and exc.__context__ is None and not exc.__suppress_context__
    assert type(exc.detail) is quorlane_py.HookError
    assert str(exc) == "Hook error: " + exc.detail.message
    assert exc.args == (str(exc),)
    exc.__traceback__ = None  # no frame cycle keeps the exception alive after the test
    return exc


class TestCallingConvention:
    def test_each_section_seen_once_in_order(self):
        seen = []

        def hook(*args, **kwargs):
            seen.append((args, kwargs))

        quorlane_py.parse(statement(account(), document(), document()), [hook])
        assert [len(args) for args, _ in seen] == [3, 3, 3]
        assert [kwargs for _, kwargs in seen] == [{}, {}, {}]
        types = [args[0] for args, _ in seen]
        assert types == [quorlane_py.SectionType.Account, quorlane_py.SectionType.Document,
                         quorlane_py.SectionType.Document]
        assert [int(t) for t in types] == [1, 0, 0]
        assert all(t is not quorlane_py.SectionType.Document and t is not quorlane_py.SectionType.Account
                   for t in types)
        assert types[1] is not types[2]
        assert [type(t) for t in types] == [quorlane_py.SectionType] * 3

    def test_attrs_and_header(self):
        seen = []
        quorlane_py.parse(TEXT, [lambda t, attrs, header: seen.append((dict(attrs), dict(header)))])
        (account_attrs, header1), (document_attrs, header2) = seen
        assert list(account_attrs.items()) == list(ACCOUNT.items())
        assert list(document_attrs.items()) == list(DOCUMENT.items())
        assert "СекцияДокумент" not in document_attrs
        assert list(header1.items()) == list(HEADER.items()) and header2 == header1

    def test_repeated_key_keeps_first_position_with_last_value(self):
        seen = []
        section = document()
        section.insert(2, "Номер=999")  # after Номер and Дата
        quorlane_py.parse(statement(section), [lambda t, attrs, header: seen.append(list(attrs.items()))])
        assert seen[0][0] == ("Номер", "999") and len(seen[0]) == len(DOCUMENT)

    def test_every_call_gets_new_objects(self):
        seen = []
        quorlane_py.parse(TEXT, [lambda t, a, h: seen.append((a, h)), lambda t, a, h: seen.append((a, h))])
        objects = [id(o) for pair in seen for o in pair]
        assert len(seen) == 4 and len(set(objects)) == 8  # all still alive, so distinct ids mean distinct objects

    @pytest.mark.parametrize("value", [False, True, 0, "ignored", object(), {"Номер": "1"}, NotImplemented])
    def test_return_value_is_ignored(self, value):
        assert result_of(quorlane_py.parse(TEXT, [lambda *a: value])) == result_of(quorlane_py.parse(TEXT))

    @pytest.mark.parametrize("hooks", [[], (), [lambda *a: None] * 3])
    def test_hooks_changing_nothing(self, hooks):
        assert result_of(quorlane_py.parse(TEXT, hooks)) == result_of(quorlane_py.parse(TEXT))

    def test_unclosed_section_reaches_no_hook(self):
        calls = []
        text = statement(account(), document()[:-1], end=False)
        with pytest.raises(quorlane_py.UnfinishedError):
            quorlane_py.parse(text, [lambda *a: calls.append(a[0])])
        assert calls == [quorlane_py.SectionType.Account]

    def test_no_hook_runs_when_the_file_has_an_unrecognised_line(self):
        calls = []
        with pytest.raises(quorlane_py.SyntaxError):
            quorlane_py.parse(TEXT + "мусор\n", [lambda *a: calls.append(a)])
        assert calls == []


def rename(attrs, old, new):
    items = list(attrs.items())
    attrs.clear()
    attrs.update((new if key == old else key, value) for key, value in items)


class TestChanges:
    def test_replaced_value_changes_the_record(self):
        def hook(t, attrs, header):
            if t == quorlane_py.SectionType.Document:
                attrs["Сумма"] = "1.5"
            else:
                attrs["НачальныйОстаток"] = "-7"

        st = quorlane_py.parse(TEXT, [hook])
        assert st.documents[0].amount == "1.5"
        assert st.accounts[ACCOUNT_NUMBER].intervals[0].start_amount == "-7"

    def test_added_key_is_appended_and_deleted_key_is_gone(self):
        seen = []

        def first(t, attrs, header):
            attrs["Новый"] = "1"
            del attrs["Номер"]
            attrs["Номер"] = "77"
            attrs["Дата"] = "01.02.2024"

        quorlane_py.parse(statement(document()), [first, lambda t, a, h: seen.append(list(a))])
        expected = [k for k in DOCUMENT if k != "Номер"] + ["Новый", "Номер"]
        assert seen == [expected]

    @pytest.mark.parametrize(
        "change",
        [
            lambda a: a.update(Номер="".join(["12", "5"])),  # equal to the value handed out, but another str
            lambda a: a.update(Номер="125/1"),
            lambda a: a.update(Плательщик=a["Получатель"], Получатель=a["Плательщик"]),  # values swapped
            lambda a: a.pop("ПлательщикКПП", None),
            lambda a: a.update(Новый="1"),
            lambda a: a.update(Сумма=a.pop("Сумма")),  # removed and added again: now the last key
            lambda a: [a.update({key: a.pop(key)}) for key in reversed(list(a))],  # every key, in reverse order
            lambda a: a.update({"".join(["Су", "мма"]): "5.00"}),  # an equal key: the dict keeps the first one
            lambda a: a.update(Номер=a.pop("Дата"), Дата=a.pop("Номер", "1")),  # keys swapped, moved to the end
            lambda a: a.update({key: value[::-1] for key, value in a.items()}),  # every value replaced
            lambda a: (a.update(Дата="02.03.2024"), a.pop("Сумма")),  # a value, then a key removed after it
            lambda a: rename(a, "Дата", "Дата1"),  # where it stands
            lambda a: a.clear(),
        ],
        ids=["equal-value", "value", "values-swapped", "removed", "added", "moved-to-the-end", "reversed",
             "equal-key", "keys-swapped", "every-value", "value-and-removed", "renamed-in-place", "cleared"],
    )
    def test_next_hook_and_record_see_what_the_hook_left(self, change):
        left, seen = [], []

        def first(t, attrs, header):
            change(attrs)
            left.append(list(attrs.items()))

        # Sections alike and unlike in their keys, one after another.
        sections = [document(), document(), document({"Новый": "0"}), document({"Номер": None}), document()]
        st = quorlane_py.parse(statement(*sections), [first, lambda t, a, h: seen.append(list(a.items()))])
        assert seen == left and len(left) == len(sections)
        plain = quorlane_py.parse(statement(*[[f"СекцияДокумент={DOCUMENT_TYPE}", *(f"{k}={v}" for k, v in items),
                                                "КонецДокумента"] for items in left]))
        assert st.documents == plain.documents
        assert [message for _, message in st.warnings] == [message for _, message in plain.warnings]

    def test_second_hook_sees_attrs_changes_but_not_header_changes(self):
        seen = []

        def first(t, attrs, header):
            attrs["Номер"] = "A-1"
            header["ВерсияФормата"] = "9.99"
            header["Лишний"] = "1"

        quorlane_py.parse(statement(document()), [first, lambda t, a, h: seen.append((a["Номер"], dict(h)))])
        assert seen == [("A-1", HEADER)]

    def test_header_changes_never_reach_the_result(self):
        st = quorlane_py.parse(TEXT, [lambda t, a, h: h.clear()])
        assert st.header == HEADER

    def test_deleting_a_required_document_key_makes_a_warning(self):
        st = quorlane_py.parse(TEXT, [lambda t, a, h: a.pop("Номер", None)])
        assert st.documents == []
        assert st.warnings == [(lineno(TEXT, "КонецДокумента"), "missing field `Номер`")]

    def test_deleting_a_required_account_key_ends_the_parse(self):
        with pytest.raises(quorlane_py.SyntaxError) as info:
            quorlane_py.parse(TEXT, [lambda t, a, h: a.pop("НачальныйОстаток", None)])
        assert str(info.value) == "Account parse error: missing field `НачальныйОстаток`"
        assert info.value.detail.lineno == lineno(TEXT, "КонецРасчСчет")

    def test_deleting_the_account_number(self):
        with pytest.raises(quorlane_py.SyntaxError) as info:
            quorlane_py.parse(TEXT, [lambda t, a, h: a.pop("РасчСчет", None)])
        assert str(info.value) == "Missing field 'РасчСчет' in context 'account'"
        assert type(info.value.detail) is quorlane_py.MissingField

    @pytest.mark.parametrize("change", [lambda a: a.__setitem__("СекцияДокумент", "Чек"),
                                        lambda a: a.pop("СекцияДокумент", None)])
    def test_document_type_cannot_be_changed(self, change):
        st = quorlane_py.parse(TEXT, [lambda t, a, h: change(a)])
        assert st.documents[0].doc_type == DOCUMENT_TYPE

    def test_str_subclasses_are_accepted(self):
        class S(str):
            pass

        def hook(t, attrs, header):
            attrs[S("Номер")] = S("Ю-5")

        assert quorlane_py.parse(TEXT, [hook]).documents[0].doc_number == "Ю-5"

    def test_kept_references_change_nothing_later(self):
        kept = []
        st = quorlane_py.parse(TEXT, [lambda t, a, h: kept.append((a, h))])
        for attrs, header in kept:
            attrs["Номер"] = "changed"
            header.clear()
        assert st.documents[0].doc_number == "125" and st.header == HEADER
        assert kept[1][0]["Сумма"] == "12000.00"  # still a valid dictionary

    @pytest.mark.needs("getrefcount")
    def test_the_parse_keeps_no_reference_to_the_dicts(self):
        kept = []
        quorlane_py.parse(TEXT, [lambda t, a, h: kept.append((a, h))])
        # Held by the tuple in `kept` and the call's argument: the parse holds nothing back.
        assert [sys.getrefcount(kept[i][j]) for i in range(len(kept)) for j in (0, 1)] == [2] * 2 * len(kept)

    def test_reentrant_parse_from_a_hook(self):
        inner = []

        def hook(t, attrs, header):
            nested = quorlane_py.parse(statement(document({"Номер": "inner"})), [lambda t, a, h: a.update(Сумма="3")])
            inner.append((nested.documents[0].doc_number, nested.documents[0].amount))
            attrs["Номер"] = "outer"

        st = quorlane_py.parse(statement(document()), [hook])
        assert inner == [("inner", "3")]
        assert st.documents[0].doc_number == "outer"

    def test_reentrant_failure_does_not_leak_into_the_outer_parse(self):
        def hook(t, attrs, header):
            with pytest.raises(quorlane_py.NotStatementError):
                quorlane_py.parse(b"")

        assert result_of(quorlane_py.parse(TEXT, [hook])) == result_of(quorlane_py.parse(TEXT))


class Unprintable(Exception):
    def __str__(self):
        raise RuntimeError("no text")


class TestFailures:
    @pytest.mark.parametrize(
        "exc, text",
        [
            (ValueError("bad"), "ValueError: bad"),
            (ValueError(), "ValueError: "),
            (KeyError("Номер"), "KeyError: 'Номер'"),
            (KeyboardInterrupt(), "KeyboardInterrupt: "),
            (SystemExit(3), "SystemExit: 3"),
            (GeneratorExit("x"), "GeneratorExit: x"),
            (Unprintable("x"), "Unprintable: <exception str() failed>"),
            (quorlane_py.ParseError("внутри"), "ParseError: внутри"),
            (ValueError("a\udc80b"), "ValueError: a\ufffd\ufffd\ufffdb"),
        ],
    )
    def test_raised_exception_becomes_hook_error(self, exc, text):
        def hook(*args):
            raise exc

        err = hook_error(TEXT, [hook])
        assert err.detail.message == text
        assert err.detail.lineno == lineno(TEXT, "КонецРасчСчет")

    def test_local_class_shows_its_qualified_name_without_module(self):
        class Boom(Exception):
            pass

        def hook(*args):
            raise Boom("x")

        err = hook_error(TEXT, [hook])
        assert err.detail.message == (
            "TestFailures.test_local_class_shows_its_qualified_name_without_module.<locals>.Boom: x"
        )

    def test_exception_from_c_code_is_described(self):
        err = hook_error(TEXT, [lambda t, a, h: int("x")])
        assert err.detail.message == "ValueError: invalid literal for int() with base 10: 'x'"

    def test_non_callable_hook(self):
        err = hook_error(TEXT, [1])
        assert err.detail.message == "TypeError: 'int' object is not callable"

    def test_wrong_arity(self):
        err = hook_error(TEXT, [lambda: None])
        assert err.detail.message.startswith("TypeError: ") and "positional argument" in err.detail.message

    @pytest.mark.parametrize(
        "change, text",
        [
            (lambda a: a.__setitem__("Номер", 5), "TypeError: 'int' object cannot be converted to 'PyString'"),
            (lambda a: a.__setitem__(5, "x"), "TypeError: 'int' object cannot be converted to 'PyString'"),
            (lambda a: a.__setitem__("Номер", None), "TypeError: 'NoneType' object cannot be converted to 'PyString'"),
            (lambda a: a.__setitem__("Номер", b"1"), "TypeError: 'bytes' object cannot be converted to 'PyString'"),
            (lambda a: a.__setitem__(("k",), "x"), "TypeError: 'tuple' object cannot be converted to 'PyString'"),
            (  # a class made in Python is named by its __name__, dots and all
                lambda a: a.__setitem__("Номер", type("pkg.Dotted", (), {})()),
                "TypeError: 'pkg.Dotted' object cannot be converted to 'PyString'",
            ),
            (
                lambda a: a.__setitem__("Номер", quorlane_py.SectionType.Account),
                "TypeError: 'SectionType' object cannot be converted to 'PyString'",
            ),
            (
                lambda a: a.__setitem__("Номер", "\udc80"),
                "UnicodeEncodeError: 'utf-8' codec can't encode character '\\udc80' in position 0: "
                "surrogates not allowed",
            ),
            (
                lambda a: a.__setitem__("\ud800x", "1"),
                "UnicodeEncodeError: 'utf-8' codec can't encode character '\\ud800' in position 0: "
                "surrogates not allowed",
            ),
        ],
    )
    def test_unconvertible_attrs(self, change, text):
        err = hook_error(TEXT, [lambda t, a, h: change(a)])
        assert err.detail.message == text
        assert err.detail.lineno == lineno(TEXT, "КонецРасчСчет")

    def test_failure_on_the_second_of_three_documents(self):
        text = statement(document({"Номер": "1"}), document({"Номер": "2"}), document({"Номер": "3"}))
        later = []

        def hook(t, attrs, header):
            if attrs["Номер"] == "2":
                raise ValueError("stop")

        err = hook_error(text, [hook, lambda t, a, h: later.append(a["Номер"])])
        assert err.detail.lineno == lineno(text, "КонецДокумента", 2)
        assert later == ["1"]

    def test_exception_is_not_kept(self):
        import gc
        import weakref

        class Tracked(Exception):
            pass

        refs = []

        def hook(*args):
            exc = Tracked("t")
            refs.append(weakref.ref(exc))
            raise exc

        hook_error(TEXT, [hook])
        gc.collect()
        gc.collect()  # PyPy frees an object that went through the C interface one collection later
        assert refs[0]() is None

    def test_handler_for_parse_error_catches_hook_failures(self):
        with pytest.raises(quorlane_py.ParseError):
            quorlane_py.parse(TEXT, [lambda *a: 1 / 0])
