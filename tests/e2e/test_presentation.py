"""The error box as the user sees it: caption, text in the chosen language,
and the OK button, read and pressed by the UI driver."""
import pytest

from conftest import answer_box, bring_up_desktop
from winehost import finish

ENGLISH_401 = ("The following applications should be closed before you continue to install Tavo PC Suite."
               "\n\n(Tavo Internet Kit)")


def show(host, bins, code, lang=None):
    env = {"LC_ALL": lang, "LANG": lang} if lang else None
    bring_up_desktop(host, bins)
    box = host.start(bins.result_box, [str(code)], env=env)
    language = box.stdout.readline().decode().split()[-1]
    rc, text = answer_box(host, bins, timeout=20)
    finish(box, 60)
    return language, rc, text


# Which text each code shows is the unit tests' table; here only what the
# real box does with one: its caption, its two-line text, its OK button.
def test_box_text_in_english(host, bins):
    language, rc, shown = show(host, bins, 401, "en_US.UTF-8")
    assert language == "0809"
    assert rc == 0
    assert shown == ENGLISH_401


@pytest.mark.parametrize("code", [0, 1, 304])
def test_codes_that_show_nothing(host, bins, code):
    box = host.start(bins.result_box, [str(code)])
    finish(box, 60)
    assert box.returncode == 0
    rc, out = host.run(bins.uidriver, ["nobox", "--seconds", "1"])
    assert rc == 0, out


@pytest.mark.parametrize("lang, expected_lang, sentence", [
    ("de_DE.UTF-8", "0407", "Die folgenden Anwendungen"),
    ("ja_JP.UTF-8", "0809", "The following applications"),
    ("es_ES.UTF-8", "040a", None),
])
def test_language_follows_the_system(host, bins, lang, expected_lang, sentence):
    language, rc, shown = show(host, bins, 401, lang)
    assert language == expected_lang
    assert rc == 0
    if sentence:
        assert shown.startswith(sentence)
    assert shown.endswith(")")
