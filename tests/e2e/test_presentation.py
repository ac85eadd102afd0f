"""The error box as the user sees it: caption, text in the chosen language,
and the OK button, read and pressed by the UI driver."""
import pytest

from conftest import answer_box, bring_up_desktop
from ui_helpers import result_box
from winehost import finish

ENGLISH_401 = ("The following applications should be closed before you continue to install Tavo PC Suite."
               "\n\n(Tavo Internet Kit)")
GERMAN_401 = ("Die folgenden Anwendungen m\u00fcssen geschlossen werden, bevor Sie mit der Installation von Tavo PC "
              "Suite fortfahren.\n\n(Tavo Internet Kit)")
SPANISH_401 = ("Es necesario cerrar las siguientes aplicaciones antes de continuar con la instalaci\u00f3n de Tavo PC "
               "Suite.\n\n(Tavo Internet Kit)")


def show(host, bins, code, lang, text):
    """The box for a code in the system's language, checked whole; returns
    the language the program chose."""
    bring_up_desktop(host, bins)
    box = host.start(bins.result_box, [str(code)], env={"LC_ALL": lang, "LANG": lang})
    language = box.stdout.readline().decode().split()[-1]
    answer_box(host, bins, result_box(text, process="result_box.exe"), timeout=20)
    finish(box, 60)
    return language


# Which text each code shows is the unit tests' table; here only what the
# real box does with one: its caption, its two-line text, its OK button.
def test_box_text_in_english(host, bins):
    assert show(host, bins, 401, "en_US.UTF-8", ENGLISH_401) == "0809"


@pytest.mark.parametrize("code", [0, 1, 304])
def test_codes_that_show_nothing(host, bins, code):
    box = host.start(bins.result_box, [str(code)])
    finish(box, 60)
    assert box.returncode == 0
    rc, out = host.run(bins.uidriver, ["nobox", "--seconds", "1"])
    assert rc == 0, out


@pytest.mark.parametrize("lang, expected_lang, text", [
    ("de_DE.UTF-8", "0407", GERMAN_401),
    ("ja_JP.UTF-8", "0809", ENGLISH_401),
    ("es_ES.UTF-8", "040a", SPANISH_401),
])
def test_language_follows_the_system(host, bins, lang, expected_lang, text):
    assert show(host, bins, 401, lang, text) == expected_lang
