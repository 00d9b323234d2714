# The package's promises to editors and readers: the stubs name exactly what the package exports, with
# the same members, and every public name carries a docstring.
import ast
import inspect
import os

import qxprop


def _stub():
    with open(os.path.join(os.path.dirname(qxprop.__file__), "__init__.pyi"), encoding="utf-8") as f:
        return ast.parse(f.read())


def _public(obj):
    return {n for n in vars(obj) if not n.startswith("_")}


def test_stubs_name_every_exported_name_and_member():
    tree = _stub()
    top = {}
    for node in tree.body:
        if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
            top[node.name] = node
        elif isinstance(node, ast.AnnAssign):
            top[node.target.id] = node
    assert set(qxprop.__all__) <= set(top), set(qxprop.__all__) - set(top)
    for name in qxprop.__all__:
        obj = getattr(qxprop, name)
        if inspect.isclass(obj) and isinstance(top[name], ast.ClassDef) and name != "Limits":
            members = {n.name if isinstance(n, (ast.FunctionDef, ast.ClassDef)) else n.target.id
                       for n in top[name].body if isinstance(n, (ast.FunctionDef, ast.AnnAssign))}
            missing = {m for m in _public(obj) if m not in members and not m.isupper()}
            assert not missing, f"{name}: {missing} not in the stubs"


def test_every_public_name_has_a_docstring():
    for name in qxprop.__all__:
        obj = getattr(qxprop, name)
        if inspect.isclass(obj) or inspect.isfunction(obj):
            assert inspect.getdoc(obj), name
        if inspect.isclass(obj) and not issubclass(obj, (int, tuple)):
            for member, value in vars(obj).items():
                if not member.startswith("_") and (inspect.isfunction(value) or isinstance(value, property)):
                    assert inspect.getdoc(value), f"{name}.{member}"
