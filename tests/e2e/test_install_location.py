"""Where the setup finds the product: the Uninstall entry in either registry
branch, the default location, and entries it must not take at face value."""
from checks import assert_not_started, assert_started_from, assert_untouched, assert_updated, tree
from expected import (EXIT_FAILURE, EXIT_PRODUCT_MISSING, EXIT_SUCCESS, INSTALL_QUESTION,
                      LAUNCH_QUESTION, error_box)
from wine_machine import UNINSTALL_KEY, windows_join


class TestRegistryBranches:
    def test_the_main_branch_comes_first(self, machine64, package):
        machine = machine64
        main = machine.install_product(windows_join(machine.program_files, "Vespodar"),
                                       entry_view=64, tag="main")
        other = machine.install_product(windows_join(machine.program_files_x86, "Vespodar"),
                                        entry_view=32, tag="other")
        entry32 = machine.uninstall_entry(32)
        before = tree(main.path)

        run = machine.run_setup("modest")

        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, main, package, before, size_view=64)
        assert other.read("vdq2.cok") == other.files["vdq2.cok"]
        assert machine.uninstall_entry(32) == entry32

    def test_main_key_without_uninstall_string_falls_back_to_32_bit(self, machine64, package):
        machine = machine64
        machine.reg_add(UNINSTALL_KEY, "DisplayName", "Vespodar", view=64)
        product = machine.install_product(windows_join(machine.program_files_x86, "Vespodar"),
                                          entry_view=32)
        before = tree(product.path)

        run = machine.run_setup("modest")

        assert run.exit_code == EXIT_SUCCESS
        # The size goes to the entry that holds the UninstallString.
        assert_updated(machine, product, package, before, size_view=32)
        assert "EstimatedSize" not in machine.uninstall_entry(64)


class TestDefaultLocation:
    def test_without_an_entry_the_default_location_is_updated(self, machine, package):
        # On 64-bit Windows the default is the 64-bit Program Files; a copy in
        # the 32-bit one must stay as it is.
        product = machine.install_product(windows_join(machine.program_files, "Vespodar"),
                                          register=False)
        other = None
        if machine.win64:
            other = machine.install_product(windows_join(machine.program_files_x86, "Vespodar"),
                                            register=False, tag="other")
        assert machine.uninstall_entry() is None
        before = tree(product.path)

        run = machine.run_setup(answers=("yes", "no"))

        assert run.shown() == [INSTALL_QUESTION[machine.lang], LAUNCH_QUESTION]
        assert run.exit_code == EXIT_SUCCESS
        assert product.read("vdq2.cok") == package
        assert tree(product.path) == before
        # No entry to record the size in, and none made for it.
        assert machine.uninstall_entry() is None
        if other:
            assert other.read("vdq2.cok") == other.files["vdq2.cok"]
            assert machine.uninstall_entry(32) is None

    def test_without_an_entry_or_a_product_nothing_is_made(self, machine):
        run = machine.run_setup(answers=("ok",), settle_ms=0)

        assert run.shown() == [error_box("product_missing", machine.lang)]
        assert run.exit_code == EXIT_PRODUCT_MISSING
        assert machine.uninstall_entry() is None
        assert not machine.unix_path(windows_join(machine.program_files, "Vespodar")).exists()


class TestUninstallString:
    def test_quoted_path_is_read_inside_the_quotes(self, machine, package):
        directory = windows_join(machine.program_files, "Vespodar")
        product = machine.install_product(
            directory, uninstall_string='"' + windows_join(directory, "uninst.exe") + '"')
        assert machine.uninstall_entry()["UninstallString"][1].startswith('"')
        before = tree(product.path)

        run = machine.run_setup(answers=("yes", "no"))

        assert run.shown() == [INSTALL_QUESTION[machine.lang], LAUNCH_QUESTION]
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)

    def test_cyrillic_product_directory(self, machine, package):
        # Found, updated and started whatever the user's code page.
        product = machine.install_product(r"C:\Игры\Весподар")
        before = tree(product.path)

        run = machine.run_setup(answers=("yes", "yes"))

        assert run.shown() == [INSTALL_QUESTION[machine.lang], LAUNCH_QUESTION]
        assert run.exit_code == EXIT_SUCCESS
        assert_updated(machine, product, package, before)
        assert_started_from(product)

    def test_value_of_a_wrong_type_is_a_registry_error(self, machine):
        # The product sits at the default location: a setup that ignored the
        # broken entry would find it there and go on.
        product = machine.install_product(windows_join(machine.program_files, "Vespodar"),
                                          register=False)
        machine.reg_add(UNINSTALL_KEY, "UninstallString", "5", kind="REG_DWORD")
        entry = machine.uninstall_entry()

        run = machine.run_setup(answers=("ok",), settle_ms=0)

        assert run.shown() == [error_box("registry", machine.lang)]
        assert run.exit_code == EXIT_FAILURE
        assert_untouched(machine, product, entry)
        assert_not_started(product)
