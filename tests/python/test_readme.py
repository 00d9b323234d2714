# The README's Python example runs as written and prints what its comment says.
import contextlib
import io
import os
import re


def test_readme_example_prints_what_it_says():
    with open(os.path.join(os.environ["QX_SOURCE_DIR"], "README.md"), encoding="utf-8") as f:
        readme = f.read()
    section = readme[readme.index("## Python package"):]
    block = re.search(r"```python\n(.*?)```", section, re.S).group(1)
    assert len(block.strip().splitlines()) == 5
    expected = re.search(r"# (.*)$", block.strip().splitlines()[-1]).group(1)
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        exec(compile(block, "README.md", "exec"), {})
    assert out.getvalue().strip() == expected
