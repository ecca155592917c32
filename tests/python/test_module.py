import quorlane_py


def test_module_imports_with_its_docstring():
    assert quorlane_py.__doc__ == "Python-модуль для парсинга банковских выписок 1CClientBankExchange."
