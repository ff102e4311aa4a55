-- Run by the Neovim end-to-end test: `nvim --headless -u NONE -c 'luafile THIS' page.html`
-- with VMK_LSP (the server) and VMK_OUT (where the findings go) set. It attaches the server to
-- the buffer, waits for its diagnostics, asks for hover, applies a quick fix, formats, and
-- writes what it saw as JSON.
local result = {}

local function run()
  local client_id = vim.lsp.start_client({
    name = 'velumark',
    cmd = { os.getenv('VMK_LSP') },
    root_dir = vim.fn.getcwd(),
    init_options = { debounce = 0 },
    flags = { debounce_text_changes = 0 },
  })
  assert(client_id, 'the server did not start')
  vim.lsp.buf_attach_client(0, client_id)
  local client = vim.lsp.get_client_by_id(client_id)
  local uri = vim.uri_from_bufnr(0)

  local function diagnostics()
    local out = {}
    for _, d in ipairs(vim.diagnostic.get(0)) do
      local lsp = (d.user_data or {}).lsp or {}
      table.insert(out, string.format('%s@%d:%d', lsp.code or '?', d.lnum, d.col))
    end
    table.sort(out)
    return out
  end

  result.got_diagnostics = vim.wait(30000, function() return #vim.diagnostic.get(0) > 0 end, 10)
  result.diagnostics = diagnostics()

  local hover = client.request_sync('textDocument/hover', {
    textDocument = { uri = uri }, position = { line = 3, character = 2 },
  }, 10000, 0)
  if hover and hover.result then result.hover = hover.result.contents.value end

  -- Typing moves the diagnostics, and the check after it keeps them where they belong.
  vim.api.nvim_buf_set_text(0, 3, 0, 3, 0, { '  ' })
  vim.wait(300, function() return false end, 10)
  vim.wait(10000, function()
    for _, d in ipairs(vim.diagnostic.get(0)) do
      if d.lnum == 3 and d.col >= 2 then return true end
    end
    return false
  end, 10)
  result.after_typing = diagnostics()

  if client.resolved_capabilities.code_action then
    local line = vim.api.nvim_buf_get_lines(0, 3, 4, false)[1]
    local actions = client.request_sync('textDocument/codeAction', {
      textDocument = { uri = uri },
      range = { start = { line = 3, character = 0 }, ['end'] = { line = 3, character = #line } },
      context = { diagnostics = vim.lsp.diagnostic.get_line_diagnostics(0, 3), only = { 'quickfix' } },
    }, 10000, 0)
    result.actions = {}
    for _, action in ipairs((actions and actions.result) or {}) do
      table.insert(result.actions, action.title)
    end
    local first = actions and actions.result and actions.result[1]
    if first and first.edit then vim.lsp.util.apply_workspace_edit(first.edit, 'utf-16') end
    result.after_fix = vim.api.nvim_buf_get_lines(0, 0, -1, false)
  end

  if client.resolved_capabilities.document_formatting then
    vim.lsp.buf.formatting_sync(nil, 10000)
    result.after_format = vim.api.nvim_buf_get_lines(0, 0, -1, false)
  end
end

local ok, err = pcall(run)
if not ok then result.error = tostring(err) end
vim.fn.writefile({ vim.fn.json_encode(result) }, os.getenv('VMK_OUT'))
vim.cmd('qa!')
