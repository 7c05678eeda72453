import pytest

import velmo_yaml


@pytest.fixture(autouse=True)
def english_messages():
    """The message language is process-wide: every test starts and ends in English."""
    velmo_yaml.set_language("en")
    yield
    velmo_yaml.set_language("en")
