import copy
import pickle

import pytest

import quorlane_py
from conftest import ACCOUNT_NUMBER, DOCUMENT, DOCUMENT_TYPE, HEADER, account, document, lineno, statement

DOCUMENT_ATTRIBUTES = {
    "doc_number": "125",
    "doc_type": DOCUMENT_TYPE,
    "doc_date": "2024-03-05",
    "amount": "12000.00",
    "purpose": DOCUMENT["НазначениеПлатежа"],
    "payment_type": "01",
    "ordering": "5",
    "counterparty_inn": "7701234567",
    "counterparty_kpp": "770101001",
    "counterparty_bic": "044525225",
    "counterparty_bank1": "ПАО СБЕРБАНК г. Москва",
    "counterparty_account": ACCOUNT_NUMBER,
    "counterparty": 'ИНН 7701234567 ООО "Ромашка"',
    "counterparty_1": 'ООО "Ромашка"',
    "counterparty_ras_account": ACCOUNT_NUMBER,
    "counterparty_cor_account": "30101810400000000225",
    "outcome_date": "2024-03-05",
    "payee_inn": "7709876543",
    "payee": 'ООО "Лютик"',
    "payee_account": "40702810500000054321",
    "payee_kpp": "770901001",
    "payee_bic": "044525593",
    "payee_bank1": 'АО "АЛЬФА-БАНК" г. Москва',
    "payee_ras_account": "40702810500000054321",
    "payee_cor_account": "30101810200000000593",
    "income_date": None,
}

INTERVAL_ATTRIBUTES = {
    "date_start": "2024-03-01",
    "date_end": "2024-03-07",
    "start_amount": "150000.00",
    "end_amount": "158500.50",
    "total_income": "20500.50",
    "total_expense": "12000.00",
}

OPTIONAL_DOCUMENT_KEYS = {
    "ВидОплаты": "payment_type",
    "Очередность": "ordering",
    "ПлательщикКПП": "counterparty_kpp",
    "Плательщик": "counterparty",
    "Плательщик1": "counterparty_1",
    "ДатаСписано": "outcome_date",
    "ПлательщикРасчСчет": "counterparty_ras_account",
    "ПлательщикКорсчет": "counterparty_cor_account",
    "Получатель": "payee",
    "ПолучательКПП": "payee_kpp",
    "ПолучательРасчСчет": "payee_ras_account",
    "ПолучательКорсчет": "payee_cor_account",
    "ДатаПоступило": "income_date",
}

RESULT_CLASSES = [quorlane_py.Statement, quorlane_py.Account, quorlane_py.Document, quorlane_py.Interval]


@pytest.fixture
def parsed():
    return quorlane_py.parse(statement(account(), document()))


def only_document(changes=None, doc_type=DOCUMENT_TYPE):
    st = quorlane_py.parse(statement(document(changes, doc_type)))
    assert st.warnings == []
    [doc] = st.documents
    return doc


def only_interval(changes=None):
    [acc] = quorlane_py.parse(statement(account(changes))).accounts.values()
    [interval] = acc.intervals
    return interval


class TestAttributes:
    def test_statement(self, parsed):
        assert parsed.encoding == "utf-8"
        assert list(parsed.header.items()) == list(HEADER.items())
        assert list(parsed.accounts) == [ACCOUNT_NUMBER]
        assert len(parsed.documents) == 1
        assert parsed.warnings == []

    def test_account(self, parsed):
        acc = parsed.accounts[ACCOUNT_NUMBER]
        assert type(acc) is quorlane_py.Account
        assert acc.number == ACCOUNT_NUMBER
        assert [type(i) for i in acc.intervals] == [quorlane_py.Interval]

    def test_interval(self, parsed):
        [interval] = parsed.accounts[ACCOUNT_NUMBER].intervals
        assert {name: getattr(interval, name) for name in INTERVAL_ATTRIBUTES} == INTERVAL_ATTRIBUTES

    def test_document(self, parsed):
        [doc] = parsed.documents
        assert type(doc) is quorlane_py.Document
        assert {name: getattr(doc, name) for name in DOCUMENT_ATTRIBUTES} == DOCUMENT_ATTRIBUTES

    def test_the_packages_field_table_is_the_documents(self, parsed):
        # quorlane writes and tabulates documents from this table: each attribute, in the class's order, fed by
        # its key with a value of its kind.
        from quorlane._keys import DOCUMENT_TABLE

        assert [attribute for attribute, _, _ in DOCUMENT_TABLE] == list(DOCUMENT_ATTRIBUTES)
        spelled = {"date": ("01.02.2023", "2023-02-01"), "amount": ("7.50", "7.50")}
        for attribute, key, kind in DOCUMENT_TABLE:
            written, read = spelled.get(kind.replace("optional ", ""), ("Другое", "Другое"))
            if attribute == "doc_type":
                assert getattr(only_document(doc_type=written), attribute) == read
            else:
                assert getattr(only_document({key: written}), attribute) == read, key

    def test_every_attribute_is_a_plain_str_or_none(self, parsed):
        [doc] = parsed.documents
        [interval] = parsed.accounts[ACCOUNT_NUMBER].intervals
        values = [getattr(doc, n) for n in DOCUMENT_ATTRIBUTES] + [getattr(interval, n) for n in INTERVAL_ATTRIBUTES]
        assert {type(v) for v in values} == {str, type(None)}

    def test_optional_document_fields_absent(self):
        doc = only_document({key: None for key in OPTIONAL_DOCUMENT_KEYS})
        assert {getattr(doc, name) for name in OPTIONAL_DOCUMENT_KEYS.values()} == {None}
        assert doc.doc_number == "125"

    def test_optional_interval_fields_absent(self):
        interval = only_interval({"ДатаКонца": None, "КонечныйОстаток": None, "ВсегоПоступило": None, "ВсегоСписано": None})
        assert (interval.date_end, interval.end_amount, interval.total_income, interval.total_expense) == (None,) * 4

    def test_empty_optional_text_is_empty_not_none(self):
        assert only_document({"ВидОплаты": ""}).payment_type == ""

    def test_text_keeps_blanks(self):
        assert only_document({"Номер": " 17 "}).doc_number == " 17 "

    def test_each_read_gives_a_new_equal_str(self, parsed):
        [doc] = parsed.documents
        first, second = doc.purpose, doc.purpose
        assert first == second and first is not second

    def test_warning_tuples(self):
        text = statement(document({"Дата": ""}), document({"Сумма": "12,50"}))
        st = quorlane_py.parse(text)
        assert st.documents == []
        assert st.warnings == [
            (lineno(text, "КонецДокумента", 1), "empty string is not a valid date"),
            (
                lineno(text, "КонецДокумента", 2),
                'invalid value: string "12,50", expected a Decimal type representing a fixed-point number',
            ),
        ]
        assert [tuple(map(type, w)) for w in st.warnings] == [(int, str), (int, str)]

    def test_cp1251_text_reaches_python_decoded(self):
        st = quorlane_py.parse(statement(account(), document()).encode("cp1251"))
        assert st.encoding == "cp1251"
        assert st.documents[0].counterparty_bank1 == "ПАО СБЕРБАНК г. Москва"


class TestFormats:
    # What a date or an amount may look like is the core's to test (its value tables); here, that the result holds
    # the core's form of each.
    @pytest.mark.parametrize("written, shown", [("7.3.2024", "2024-03-07"), ("01.01.+10000", "+10000-01-01")])
    def test_dates(self, written, shown):
        assert only_document({"Дата": written}).doc_date == shown

    @pytest.mark.parametrize("written, shown", [("-12.30", "-12.30"), ("1_000.00", "1000.00"), ("1.5E-3", "0.0015")])
    def test_amounts(self, written, shown):
        assert only_document({"Сумма": written}).amount == shown

    def test_optional_dates(self):
        doc = only_document({"ДатаСписано": "   ", "ДатаПоступило": "08.03.2024"})
        assert (doc.outcome_date, doc.income_date) == (None, "2024-03-08")


class TestReprs:
    def test_statement(self, parsed):
        assert repr(parsed) == 'Statement(encoding="utf-8", documents=[...1], warnings=[...0])'

    def test_statement_counts_are_those_of_the_parse(self):
        st = quorlane_py.parse(statement(account(), document({"Дата": ""}), document(), document()))
        st.documents.append(st.documents[0])
        st.warnings.clear()
        assert len(st.documents) == 3 and st.warnings == []
        assert repr(st) == 'Statement(encoding="utf-8", documents=[...2], warnings=[...1])'

    def test_statement_without_documents(self):
        st = quorlane_py.parse(statement(account()).encode("cp1251"))
        assert repr(st) == 'Statement(encoding="cp1251", documents=[...0], warnings=[...0])'

    def test_account(self, parsed):
        assert repr(parsed.accounts[ACCOUNT_NUMBER]) == f'Account(number="{ACCOUNT_NUMBER}", intervals=[...1])'

    def test_interval(self):
        assert repr(only_interval()) == (
            'Interval(date_start="2024-03-01", date_end=Some("2024-03-07"), '
            'start_amount="150000.00", end_amount=Some("158500.50"))'
        )

    def test_interval_without_optionals(self):
        assert repr(only_interval({"ДатаКонца": None, "КонечныйОстаток": None})) == (
            'Interval(date_start="2024-03-01", date_end=None, start_amount="150000.00", end_amount=None)'
        )

    def test_document(self, parsed):
        assert repr(parsed.documents[0]) == (
            'Document(doc_number="125", doc_type="Платежное поручение", doc_date="2024-03-05", amount="12000.00")'
        )

    @pytest.mark.parametrize(
        "number, shown",
        [('1"2', '"1\\"2"'), ("№ 5", '"№ 5"'), ("\u00a0", '"\\u{a0}"')],  # the core's quoting, carried over
    )
    def test_quoted_text_form(self, number, shown):
        doc = only_document({"Номер": number})
        assert doc.doc_number == number
        assert repr(doc).startswith(f"Document(doc_number={shown}, doc_type=")

    def test_str_equals_repr(self, parsed):
        [doc] = parsed.documents
        assert str(doc) == repr(doc) and str(parsed) == repr(parsed)


class TestComparison:
    def test_documents_from_identical_sections(self):
        st = quorlane_py.parse(statement(document(), document()))
        first, second = st.documents
        assert first is not second
        assert first == second and not first != second

    @pytest.mark.parametrize(
        "changes, doc_type",
        [({"Номер": "126"}, DOCUMENT_TYPE), ({}, "Банковский ордер"), ({"Сумма": "12000.0"}, DOCUMENT_TYPE),
         ({"ДатаПоступило": "08.03.2024"}, DOCUMENT_TYPE), ({"Очередность": None}, DOCUMENT_TYPE),
         ({"Очередность": ""}, DOCUMENT_TYPE), ({"ПолучательКорсчет": "3"}, DOCUMENT_TYPE)],
    )
    def test_documents_differing_in_one_field(self, changes, doc_type):
        st = quorlane_py.parse(statement(document(), document(changes, doc_type)))
        first, second = st.documents
        assert first != second and not first == second

    def test_same_value_different_spelling_of_a_date_is_equal(self):
        st = quorlane_py.parse(statement(document(), document({"Дата": "5.3.2024"})))
        assert st.documents[0] == st.documents[1]

    def test_intervals_and_accounts(self):
        a = only_interval()
        assert a == only_interval() and a is not only_interval()
        assert a != only_interval({"ВсегоСписано": "12000.0"})
        assert a != only_interval({"ВсегоСписано": None})
        acc1 = quorlane_py.parse(statement(account())).accounts[ACCOUNT_NUMBER]
        acc2 = quorlane_py.parse(statement(account())).accounts[ACCOUNT_NUMBER]
        acc3 = quorlane_py.parse(statement(account(), account({"ДатаНачала": "08.03.2024"}))).accounts[ACCOUNT_NUMBER]
        assert acc1 == acc2 and acc1 is not acc2
        assert acc1 != acc3

    @pytest.mark.parametrize("other", ["125", None, 1, object()])
    def test_other_types_are_never_equal(self, parsed, other):
        for obj in (parsed.documents[0], parsed.accounts[ACCOUNT_NUMBER], parsed.accounts[ACCOUNT_NUMBER].intervals[0]):
            assert obj != other and not obj == other
            assert obj.__eq__(other) is NotImplemented

    def test_different_result_classes_are_not_equal(self, parsed):
        acc = parsed.accounts[ACCOUNT_NUMBER]
        assert acc != acc.intervals[0] and parsed.documents[0] != acc

    @pytest.mark.parametrize("op", ["__lt__", "__le__", "__gt__", "__ge__"])
    def test_ordering_is_not_supported(self, parsed, op):
        doc = parsed.documents[0]
        assert getattr(doc, op)(doc) is NotImplemented
        with pytest.raises(TypeError):
            doc < doc  # noqa: B015

    def test_unhashable(self, parsed):
        acc = parsed.accounts[ACCOUNT_NUMBER]
        for obj in (parsed.documents[0], acc, acc.intervals[0]):
            with pytest.raises(TypeError):
                hash(obj)

    def test_statement_by_identity(self, parsed):
        other = quorlane_py.parse(statement(account(), document()))
        assert parsed != other and parsed == parsed
        assert hash(parsed) == hash(parsed)
        assert len({parsed, other}) == 2


class TestImmutability:
    @pytest.mark.parametrize(
        "path, attribute",
        [("documents.0", "amount"), ("documents.0", "doc_number"), ("", "encoding"), ("", "documents"),
         ("acc", "number"), ("acc", "intervals"), ("interval", "date_start"), ("documents.0", "nonexistent")],
    )
    def test_assignment_fails(self, parsed, path, attribute):
        acc = parsed.accounts[ACCOUNT_NUMBER]
        obj = {"": parsed, "documents.0": parsed.documents[0], "acc": acc, "interval": acc.intervals[0]}[path]
        with pytest.raises(AttributeError):
            setattr(obj, attribute, "x")
        with pytest.raises(AttributeError):
            delattr(obj, attribute)

    def test_no_instance_dict_or_weakref(self, parsed):
        acc = parsed.accounts[ACCOUNT_NUMBER]
        for obj in (parsed, parsed.documents[0], acc, acc.intervals[0]):
            assert not hasattr(obj, "__dict__")
            assert not hasattr(obj, "__weakref__")

    def test_intervals_are_copies(self, parsed):
        acc = parsed.accounts[ACCOUNT_NUMBER]
        first = acc.intervals
        first.clear()
        second = acc.intervals
        assert first is not second and len(second) == 1
        assert acc.intervals[0] == second[0] and acc.intervals[0] is not second[0]
        assert repr(acc).endswith("intervals=[...1])")

    def test_containers_are_the_same_objects(self, parsed):
        for name in ("header", "accounts", "documents", "warnings"):
            assert getattr(parsed, name) is getattr(parsed, name)

    def test_container_changes_are_seen_by_later_reads(self, parsed):
        parsed.documents.append("extra")
        del parsed.header["ВерсияФормата"]
        assert parsed.documents[-1] == "extra" and len(parsed.documents) == 2
        assert "ВерсияФормата" not in parsed.header

    @pytest.mark.parametrize("cycle_kept", [pytest.param(True, marks=pytest.mark.needs("extension cycles collected")),
                                            False])
    def test_statement_in_its_own_container_is_collected(self, cycle_kept):
        import gc
        import weakref

        st = quorlane_py.parse(statement(account(), document()))
        holder = type("Holder", (), {})()
        probe = weakref.ref(holder)
        st.documents.append(st)
        st.documents.append(holder)
        if not cycle_kept:  # what PyPy needs: its collector does not see the statement's own references
            st.documents.remove(st)
        del st, holder
        gc.collect()
        gc.collect()  # PyPy frees an object that went through the C interface one collection later
        assert probe() is None


class TestConstruction:
    @pytest.mark.parametrize("cls", RESULT_CLASSES)
    @pytest.mark.parametrize("args, kwargs", [((), {}), ((1, 2), {}), ((), {"encoding": "utf-8"})])
    def test_refused(self, cls, args, kwargs):
        with pytest.raises(TypeError) as info:
            cls(*args, **kwargs)
        assert str(info.value) == f"cannot create 'quorlane_py.{cls.__name__}' instances"

    @pytest.mark.parametrize("cls", RESULT_CLASSES)
    def test_class_names_and_docs(self, cls):
        assert cls.__module__ == "quorlane_py"
        assert cls.__qualname__ == cls.__name__
        assert cls.__doc__ is None
        assert all(getattr(cls, name).__doc__ is None for name, value in vars(cls).items()
                   if type(value).__name__ == "getset_descriptor")

    @pytest.mark.parametrize("cls", RESULT_CLASSES)
    def test_no_subclassing(self, cls):
        with pytest.raises(TypeError):
            type("Sub", (cls,), {})

    def test_copying_and_pickling_are_refused(self, parsed):
        doc = parsed.documents[0]
        with pytest.raises(TypeError):
            copy.copy(doc)
        with pytest.raises(TypeError):
            pickle.loads(pickle.dumps(doc))
