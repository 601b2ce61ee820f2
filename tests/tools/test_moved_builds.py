"""A build folder whose CMake cache names another path is removed when a
script sources scripts/deps.sh, so it is built afresh; build folders made
where they are, and folders that are not build folders, are kept."""
import pathlib
import subprocess

DEPS = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "deps.sh"


def cache(folder, recorded):
    folder.mkdir(parents=True)
    (folder / "CMakeCache.txt").write_text(f"CMAKE_CACHEFILE_DIR:INTERNAL={recorded}\n")


def test_only_build_folders_made_elsewhere_are_removed(tmp_path):
    cache(tmp_path / "build", "/elsewhere/build")
    cache(tmp_path / "build-web" / "cmake", "/elsewhere/build-web/cmake")
    cache(tmp_path / "build-clang", tmp_path / "build-clang")
    cache(tmp_path / "other", "/elsewhere/other")
    out = subprocess.run(["bash", "-c", f". {DEPS}"], cwd=tmp_path, capture_output=True,
                         text=True, timeout=30, check=True).stdout
    assert not (tmp_path / "build").exists()
    assert not (tmp_path / "build-web" / "cmake").exists()
    assert (tmp_path / "build-clang" / "CMakeCache.txt").exists()
    assert (tmp_path / "other" / "CMakeCache.txt").exists()
    assert out.splitlines() == [
        "zelto: build was built at /elsewhere/build; removing it to build it afresh here",
        "zelto: build-web/cmake was built at /elsewhere/build-web/cmake; removing it to build it afresh here",
    ]
