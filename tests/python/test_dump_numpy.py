"""NumPy values in the direct dump: scalars through the number protocols, arrays as nested sequences."""

import warnings

import pytest

import velmo_yaml as vy

np = pytest.importorskip("numpy")


ARRAYS = [
    (np.array([[1, 2], [3, 4]], dtype=np.int64), "a:\n  - \n    - 1\n    - 2\n  - \n    - 3\n    - 4\n"),
    (np.array([1.0, 2.5]), "a:\n  - 1\n  - 2.5\n"),
    (np.array([1.0, np.nan, np.inf, -np.inf], dtype=np.float64), "a:\n  - 1\n  - NaN\n  - inf\n  - -inf\n"),
    (np.array([0.1, 1e20], dtype=np.float32), "a:\n  - 0.1\n  - 100000000000000000000\n"),
    (np.array([1 + 2j, 1 - 2j], dtype=np.complex128), "a:\n  - (1+2j)\n  - (1+-2j)\n"),
    (np.array([0.5 + 0.1j], dtype=np.complex64).repeat(2), "a:\n  - (0.5+0.1j)\n  - (0.5+0.1j)\n"),
    (np.array([True, False]), "a:\n  - true\n  - false\n"),
    (np.array([-128, 127], dtype=np.int8), "a:\n  - -128\n  - 127\n"),
    (np.array([255, 0], dtype=np.uint8), "a:\n  - 255\n  - 0\n"),
    (np.array([-32768, 7], dtype=np.int16), "a:\n  - -32768\n  - 7\n"),
    (np.array([65535, 7], dtype=np.uint16), "a:\n  - 65535\n  - 7\n"),
    (np.array([-(2**31), 7], dtype=np.int32), "a:\n  - -2147483648\n  - 7\n"),
    (np.array([2**32 - 1, 7], dtype=np.uint32), "a:\n  - 4294967295\n  - 7\n"),
    (np.array([-(2**63), 7], dtype=np.int64), "a:\n  - -9223372036854775808\n  - 7\n"),
    (np.array([2**64 - 1, 7], dtype=np.uint64), "a:\n  - 18446744073709551615\n  - 7\n"),
    # Big-endian storage and non-contiguous views read the same values.
    (np.array([1, 258], dtype=">i4"), "a:\n  - 1\n  - 258\n"),
    (np.array([1.5, -2.0], dtype=">f8"), "a:\n  - 1.5\n  - -2\n"),
    (np.arange(6).reshape(2, 3).T, "a:\n  - \n    - 0\n    - 3\n  - \n    - 1\n    - 4\n  - \n    - 2\n    - 5\n"),
    (np.arange(10)[::3], "a:\n  - 0\n  - 3\n  - 6\n  - 9\n"),
    (np.zeros((0,)), "a:\n  []\n"),
    (np.zeros((2, 0)), "a:\n  []\n"),
]


@pytest.mark.parametrize("array, text", ARRAYS, ids=lambda v: str(getattr(v, "dtype", "")) or None)
def test_arrays(array, text):
    assert vy.safe_dump({"a": array}) == text


def test_array_as_list_item_and_at_the_root():
    assert vy.safe_dump([np.array([1, 2])]) == "- \n  - 1\n  - 2\n"
    assert vy.safe_dump(np.array([[1], [2]])) == "- \n  - 1\n- \n  - 2\n"


def test_three_dimensions_read_back_as_nested_lists():
    array = np.arange(24, dtype=np.int32).reshape(2, 3, 4)
    assert vy.safe_load(vy.safe_dump({"a": array})) == {"a": array.tolist()}


def test_single_element_array_goes_through_the_float_test_first():
    array = np.array([5], dtype=np.int64)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        try:
            float(array)
            expected = "a: 5.0\n"  # NumPy before 2.4 converts one-element arrays to float
        except TypeError:
            expected = "a:\n  - 5\n"
        assert vy.safe_dump({"a": array}) == expected
    assert vy.safe_dump({"a": np.array(5)}) == "a: 5\n"  # zero dimensions: an integer through __index__


def test_numpy_scalars():
    assert vy.safe_dump({"a": np.int64(3), "b": np.float64(0.5), "c": np.float32(0.25), "d": np.bool_(True)}) == (
        "a: 3\nb: 0.5\nc: 0.25\nd: true\n")
    assert vy.safe_dump({np.int32(1): 1}) == "1: 1\n"


@pytest.mark.parametrize("array", [
    np.array(["text", "more"]),
    np.array([1, "x"], dtype=object),
    np.array([1.0, 2.0], dtype=np.float16),
    np.array(["2020-01-01", "2021-01-01"], dtype="datetime64[D]"),
    np.zeros(2, dtype=[("x", "i4"), ("y", "f8")]),
])
def test_unsupported_element_types(array):
    with pytest.raises(vy.YamlTypeError, match="Unsupported Python type"):
        vy.safe_dump({"a": array})
